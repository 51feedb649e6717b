#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class QAbstractItemView;
class QLineEdit;
class QWidget;

// What any window says to assistive technology beyond its fixed names: the
// changes worth hearing (a message box alerts by itself as it shows). Every event goes through QAccessible,
// so a test hears them with QAccessible::installUpdateHandler.
namespace ScreenReader {

// Someone hears the announcements (a screen reader through Qt's bridge):
// a busy line costs nothing more when nobody does.
bool listening();

// Says text wherever the focus is. Qt 6.4 has no announcement event, so a
// hidden notification object in the window (made at the first call) takes the
// text as its name and "shows": Orca speaks a notification that shows.
void announce(QWidget *window, const QString &text);
// The object announce() speaks through, or nullptr before the first announcement.
QWidget *announcerOf(QWidget *window);

// A list entered by the keyboard reads a row: the first becomes the current
// one if none is (without selecting it), and the row that is current is said
// after the list itself; a single row was never spoken.
void readRowOnEntry(QAbstractItemView *view);
// Tells that the check box of a row turned (the model's own change is not
// passed on as one by Qt 6.4).
void sayRowChecked(QAbstractItemView *view, int row);

// A clear button in the box, shown while it holds text, named for a screen
// reader: the one QLineEdit makes itself has no name.
void addClearButton(QLineEdit *box, const QString &name);

// Lets a stream of changes through at most once per gap: a change that comes
// sooner waits for the gap's end, replaced by any later one, so the latest is
// said first and nothing piles up behind a chatty device.
class Pace : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kGap{1000};
    using Say = std::function<void(const QString &)>;

    explicit Pace(Say say, QObject *parent = nullptr);
    // urgent: said at once (a change of state), dropping what waits.
    void offer(const QString &text, bool urgent = false);

private:
    void sayNow(const QString &text);

    Say m_say;
    QElapsedTimer m_lastSaid;
    QTimer m_turn;
    std::optional<QString> m_waiting;
};

} // namespace ScreenReader
