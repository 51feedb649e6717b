#include "windows/common/announce.h"

#include <QAccessible>
#include <QLabel>

namespace ScreenReader {

bool listening()
{
    return QAccessible::isActive();
}

// Qt 6.4's AT-SPI bridge sends this as text-changed delete and insert, which
// Orca speaks on the line with the focus; a name change would say nothing new,
// the names being fixed.
void announceText(QLabel *label, const QString &before)
{
    if (!listening())
        return;
    QAccessibleTextUpdateEvent event(label, 0, before, label->text());
    QAccessible::updateAccessibility(&event);
}

} // namespace ScreenReader
