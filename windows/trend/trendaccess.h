#pragma once

class QComboBox;
class QListView;
class QString;

// What a screen reader hears of the trend window beyond its names.
namespace TrendAccess {

// Span and View read their choice: Qt 6.4 names a combo box by it on Linux
// but Orca reads the label there, so the choice leads the description, and its
// change is heard as the description's.
void describeWithChoice(QComboBox *combo, const QString &description);
// The legend says a series shown or hidden, and reads its current row when entered.
void followLegend(QListView *legend);

} // namespace TrendAccess
