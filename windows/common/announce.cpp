#include "windows/common/announce.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QStyle>
#include <QWidget>

namespace {

const char kAnnouncerName[] = "pwmAnnouncer";

QAccessibleInterface *announcerInterface(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && widget->objectName() == QLatin1String(kAnnouncerName))
        return new QAccessibleWidget(widget, QAccessible::Notification);
    return nullptr;
}

// Reads the current row once the view has said it has the focus.
class RowOnEntry final : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::FocusIn || !ScreenReader::listening())
            return false;
        auto *view = static_cast<QAbstractItemView *>(watched);
        QMetaObject::invokeMethod(
            view,
            [view] {
                const QAbstractItemModel *model = view->model();
                if (!view->hasFocus() || !model || model->rowCount(view->rootIndex()) == 0)
                    return;
                if (!view->currentIndex().isValid())
                    view->selectionModel()->setCurrentIndex(model->index(0, 0, view->rootIndex()),
                                                            QItemSelectionModel::NoUpdate);
                QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view);
                QAccessibleTableInterface *table = list ? list->tableInterface() : nullptr;
                if (!table)
                    return;
                if (QAccessibleInterface *cell = table->cellAt(view->currentIndex().row(), 0)) {
                    QAccessibleEvent focus(cell, QAccessible::Focus);
                    QAccessible::updateAccessibility(&focus);
                }
            },
            Qt::QueuedConnection);
        return false;
    }
};

} // namespace

namespace ScreenReader {

void readRowOnEntry(QAbstractItemView *view)
{
    view->installEventFilter(new RowOnEntry(view));
}

void sayRowChecked(QAbstractItemView *view, int row)
{
    if (!listening())
        return;
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view);
    QAccessibleTableInterface *table = list ? list->tableInterface() : nullptr;
    if (QAccessibleInterface *cell = table ? table->cellAt(row, 0) : nullptr) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(cell, changed);
        QAccessible::updateAccessibility(&event);
    }
}

bool listening()
{
    return QAccessible::isActive();
}

QWidget *announcerOf(QWidget *window)
{
    return window->window()->findChild<QWidget *>(QLatin1String(kAnnouncerName), Qt::FindDirectChildrenOnly);
}

void announce(QWidget *window, const QString &text)
{
    if (!listening() || text.isEmpty())
        return;
    static const bool installed = (QAccessible::installFactory(announcerInterface), true);
    Q_UNUSED(installed);
    QWidget *announcer = announcerOf(window);
    if (!announcer) {
        // Never shown, no size: the window's pixels and its Tab order stay as they were.
        announcer = new QWidget(window->window());
        announcer->setObjectName(QLatin1String(kAnnouncerName));
        announcer->setFocusPolicy(Qt::NoFocus);
        announcer->setGeometry(0, 0, 0, 0);
        announcer->hide();
    }
    announcer->setAccessibleName(text); // its name change only refreshes a reader's copy
    QAccessibleEvent shown(announcer, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void addClearButton(QLineEdit *box, const QString &name)
{
    QAction *clear = box->addAction(box->style()->standardIcon(QStyle::SP_LineEditClearButton),
                                    QLineEdit::TrailingPosition);
    clear->setText(name);
    clear->setVisible(!box->text().isEmpty());
    QObject::connect(clear, &QAction::triggered, box, &QLineEdit::clear);
    QObject::connect(box, &QLineEdit::textChanged, clear,
                     [clear](const QString &text) { clear->setVisible(!text.isEmpty()); });
}

Pace::Pace(Say say, QObject *parent) : QObject(parent), m_say(std::move(say))
{
    m_turn.setSingleShot(true);
    connect(&m_turn, &QTimer::timeout, this, [this] {
        if (m_waiting) {
            const QString text = *std::exchange(m_waiting, std::nullopt);
            sayNow(text);
        }
    });
}

void Pace::offer(const QString &text, bool urgent)
{
    const auto since = std::chrono::milliseconds(m_lastSaid.isValid() ? m_lastSaid.elapsed() : kGap.count());
    if (urgent || since >= kGap) {
        m_turn.stop();
        m_waiting.reset();
        sayNow(text);
        return;
    }
    m_waiting = text;
    if (!m_turn.isActive())
        m_turn.start(kGap - since);
}

void Pace::sayNow(const QString &text)
{
    m_lastSaid.start();
    m_say(text);
}

} // namespace ScreenReader
