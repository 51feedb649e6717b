#include "windows/chooser/portchooser.h"

#include "link/linesettings.h"
#include "link/portwatcher.h"
#include "session/devicesession.h"
#include "windows/chooser/portlist.h"
#include "windows/common/announce.h"
#include "windows/common/dialogs.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

QString plural(int n, const QString &one, const QString &many)
{
    return n == 1 ? one : many.arg(n);
}

QLabel *lineOfWords(const QString &name)
{
    auto *label = new QLabel;
    label->setAccessibleName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->hide();
    return label;
}

} // namespace

PortChooser::PortChooser(Parts parts, QWidget *parent)
    : QDialog(parent), m_parts(std::move(parts)), m_probe(new PortProbe(std::move(m_parts.makePort), this))
{
    DeviceSession &session = m_parts.session;
    setWindowTitle(tr("Port for %1").arg(session.executable().baseName));
    const int number = session.settings().portNumber;

    auto *intro = new QLabel(tr("Pick the port this panel's device is on, or type its path. COM%1 in "
                                "the settings then names it.")
                                 .arg(number));
    intro->setWordWrap(true);

    m_ports = new PortList;
    m_ports->setAccessibleName(tr("Serial ports present"));
    m_ports->setAccessibleDescription(
        tr("One row per port: its device, whether it can be had, and what "
           "the system knows of it. Return or a double click chooses the selected row."));
    ScreenReader::readRowOnEntry(m_ports);

    m_findButton = new QPushButton(tr("&Find the device"));
    m_findButton->setAccessibleName(tr("Find the device"));
    m_findButton->setAccessibleDescription(
        tr("Asks every free port for the device code %1; ports in use are left alone.")
            .arg(session.settings().deviceCode));
    m_findStatus = new QLabel;
    m_findStatus->setAccessibleName(tr("What the search found"));
    m_findStatus->setWordWrap(true);
    m_findStatus->hide(); // until there is something to read
    auto *findRow = new QHBoxLayout;
    findRow->addWidget(m_findButton);
    findRow->addWidget(m_findStatus, 1);
    findRow->addStretch(0);

    m_path = new QLineEdit;
    m_path->setAccessibleName(tr("Device path"));
    m_path->setAccessibleDescription(
        tr("The device COM%1 will name; a row's stable name when it has one.").arg(number));
    m_path->setPlaceholderText(tr("/dev/ttyUSB0 or any device path"));
    ScreenReader::addClearButton(m_path, tr("Clear the path"));
    auto *pathForm = new QFormLayout;
    pathForm->addRow(tr("&Device path:"), m_path);
    m_pathNote = lineOfWords(tr("What the path will be bound as"));
    m_refusal = lineOfWords(tr("Why the port was not bound"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_okButton = buttons->button(QDialogButtonBox::Ok);
    m_okButton->setText(tr("Choose"));
    m_okButton->setAccessibleName(tr("Choose this port"));
    m_okButton->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(tr("Cancel"));
    // A focused button must not take Return for itself: Return chooses (keyPressEvent).
    for (QPushButton *button : {m_findButton, m_okButton, buttons->button(QDialogButtonBox::Cancel)})
        button->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_ports, 1);
    layout->addLayout(findRow);
    layout->addLayout(pathForm);
    layout->addWidget(m_pathNote);
    layout->addWidget(m_refusal);
    layout->addWidget(buttons);
    setTabOrder(m_path, m_ports);
    setTabOrder(m_ports, m_findButton);
    setTabOrder(m_findButton, m_okButton);

    connect(buttons, &QDialogButtonBox::accepted, this, &PortChooser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortChooser::reject);
    connect(m_findButton, &QPushButton::clicked, this, &PortChooser::findDevice);
    connect(m_path, &QLineEdit::textChanged, this, &PortChooser::pathEdited);
    connect(m_path, &QLineEdit::textEdited, this, [this] { m_pathFromRow = false; });
    connect(m_ports, &QTreeWidget::itemSelectionChanged, this, &PortChooser::rowSelected);
    connect(m_ports, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        m_path->setText(item->data(PortList::DeviceColumn, PortList::kTargetRole).toString());
        m_pathFromRow = true;
        accept();
    });
    connect(m_probe, &PortProbe::answered, this,
            [this](const QString &device) { probeAnswered(device, m_parts.session.settings().deviceCode); });
    connect(m_probe, &PortProbe::answeredOther, this, &PortChooser::probeAnswered);
    connect(m_probe, &PortProbe::finished, this, &PortChooser::probeFinished);
    auto *watcher = new PortWatcher(m_parts.places, QStringLiteral("/dev"), std::chrono::seconds(1), this);
    watcher->watchLockFolders();
    connect(watcher, &PortWatcher::portsChanged, this, &PortChooser::refresh);

    refresh();
    fitToContents();
    m_path->setFocus();
}

// A probe still running closes its ports here at the latest.
PortChooser::~PortChooser() = default;

void PortChooser::refresh()
{
    m_ports->showRows(m_parts.lister.list(m_parts.session.portDevice(), m_parts.typedBefore));
}

void PortChooser::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & ~Qt::KeypadModifier))
        accept();
    else
        QDialog::keyPressEvent(event);
}

void PortChooser::rowSelected()
{
    const QList<QTreeWidgetItem *> items = m_ports->selectedItems();
    if (items.isEmpty())
        return;
    m_path->setText(items.first()->data(PortList::DeviceColumn, PortList::kTargetRole).toString());
    m_pathFromRow = true;
}

void PortChooser::pathEdited()
{
    const QString typed = m_path->text().trimmed();
    m_okButton->setEnabled(!typed.isEmpty());
    m_refusal->hide();
    // Said before Return, so the user knows what com<N> will name.
    const BindCheck check = checkBindTarget(typed, m_parts.places.stableFolders);
    m_pathNote->setVisible(check.byId);
    if (check.byId)
        m_pathNote->setText(tr("COM%1 will name %2, the by-id name of %3, so the device is found again "
                               "after a replug.")
                                .arg(m_parts.session.settings().portNumber)
                                .arg(check.target, typed));
}

void PortChooser::findDevice()
{
    m_ports->clearAnswers();
    m_foundCount = m_otherCount = 0;
    const QList<PortRow> rows = m_parts.lister.list(m_parts.session.portDevice(), m_parts.typedBefore);
    m_ports->showRows(rows);
    const QStringList candidates = probeCandidates(rows);
    m_asked = int(candidates.size());
    if (candidates.isEmpty()) {
        showFindStatus(tr("No free port to ask."));
        return;
    }
    const SettingsRecord &record = m_parts.session.settings();
    const qint32 baudRate =
        lineSettingsFor(record.portNumber, record.baudRate).value_or(LineSettings{}).baudRate;
    PortProbe::Timing timing;
    timing.timeout = m_parts.probeTimeout;
    m_findButton->setEnabled(false);
    showFindStatus(plural(m_asked, tr("Asking the free port…"), tr("Asking %1 free ports…")));
    m_probe->start(candidates, baudRate, record.deviceCode, timing);
}

void PortChooser::showFindStatus(const QString &text)
{
    m_findStatus->setText(text);
    m_findStatus->show();
    ScreenReader::announce(this, text); // heard while the focus stays in the list
}

void PortChooser::probeAnswered(const QString &device, const QString &answer)
{
    const bool found = answer == m_parts.session.settings().deviceCode;
    m_ports->showAnswer(device, answer, found);
    if (!found) {
        ++m_otherCount;
    } else if (++m_foundCount == 1) {
        m_ports->select(device); // at once: no need to wait for the silent ones
    }
}

void PortChooser::probeFinished(const QStringList &answering)
{
    m_findButton->setEnabled(true);
    const int n = int(answering.size());
    QString text;
    if (n > 0)
        text = tr("%1 of %2 answered.").arg(n).arg(m_asked);
    else if (m_otherCount == 0)
        text =
            plural(m_asked, tr("The free port did not answer."), tr("None of the %1 free ports answered."));
    else
        text = tr("No free port answered %1.").arg(m_parts.session.settings().deviceCode);
    if (m_otherCount > 0)
        text += u' ' + plural(m_otherCount, tr("1 answered with another code."),
                              tr("%1 answered with another code."));
    showFindStatus(text);
    emit findFinished();
}

void PortChooser::accept()
{
    const QString typed = m_path->text().trimmed();
    if (typed.isEmpty())
        return;
    const BindCheck check = checkBindTarget(typed, m_parts.places.stableFolders);
    if (!check.refusal.isEmpty()) {
        sayNotBound(check.refusal);
        return;
    }
    const bool fromRow = m_pathFromRow;
    const QList<PortRow> rows = m_parts.lister.list(m_parts.session.portDevice(), m_parts.typedBefore);
    const auto held = std::find_if(rows.cbegin(), rows.cend(), [&](const PortRow &row) {
        return row.device == check.device && row.isHeld();
    });
    if (held == rows.cend()) {
        bind(check, !fromRow);
        return;
    }
    DialogContent question;
    question.title = tr("Port in use");
    question.text = tr("%1 is %2. Choose it all the same? The panel then waits for it to be free.")
                        .arg(check.device, PortList::stateText(*held));
    question.icon = QMessageBox::Question;
    question.buttons = {QMessageBox::Yes, QMessageBox::No};
    question.defaultButton = question.escapeButton = QMessageBox::No;
    m_parts.dialogs.ask(question,
                        [chooser = QPointer(this), check, fromRow](QMessageBox::StandardButton answer) {
                            if (chooser && answer == QMessageBox::Yes)
                                chooser->bind(check, !fromRow);
                        });
}

void PortChooser::bind(const BindCheck &check, bool typed)
{
    const BindOutcome outcome =
        bindPortNumber(m_parts.session.portFolder(), m_parts.session.settings().portNumber, check.target);
    if (!outcome.bound) {
        sayNotBound(outcome.message);
        return;
    }
    if (typed) { // listed next time, with its state
        m_parts.typedBefore.removeAll(check.target);
        m_parts.typedBefore.prepend(check.target);
    }
    QDialog::accept();
    m_parts.session.searchFromStart();
}

void PortChooser::sayNotBound(const QString &why)
{
    m_refusal->setText(tr("COM%1 was not changed: %2").arg(m_parts.session.settings().portNumber).arg(why));
    m_refusal->show();
}

void PortChooser::done(int result)
{
    m_probe->cancel(); // nothing is written to another port once the dialog is gone
    QDialog::done(result);
}

// Wide enough for every column uncut, within the screen; narrower, the list cuts the widest.
void PortChooser::fitToContents()
{
    const QMargins margins = layout()->contentsMargins();
    const int wanted = m_ports->naturalWidth() + margins.left() + margins.right();
    const QRect screen = this->screen()->availableGeometry();
    resize(qMin(qMax(wanted, sizeHint().width()), screen.width() * 19 / 20), sizeHint().height());
}
