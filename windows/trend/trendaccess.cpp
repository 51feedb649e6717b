#include "windows/trend/trendaccess.h"

#include "windows/common/announce.h"

#include <QComboBox>
#include <QListView>

namespace TrendAccess {

void describeWithChoice(QComboBox *combo, const QString &description)
{
    const auto describe = [combo, description] {
        combo->setAccessibleDescription(combo->currentText() + QStringLiteral(". ") + description);
    };
    describe();
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [combo, describe] {
        describe();
        // Qt 6.4 passes the description's change in a form Orca cannot speak.
        if (combo->hasFocus())
            ScreenReader::announce(combo, combo->currentText());
    });
}

void followLegend(QListView *legend)
{
    ScreenReader::readRowOnEntry(legend);
    QObject::connect(legend->model(), &QAbstractItemModel::dataChanged, legend,
                     [legend](const QModelIndex &first, const QModelIndex &last, const QList<int> &roles) {
                         if (!roles.contains(Qt::CheckStateRole))
                             return;
                         for (int row = first.row(); row <= last.row(); ++row) {
                             ScreenReader::sayRowChecked(legend, row);
                             // Orca reads no check state from a Qt 6.4 list row: said in words.
                             const QModelIndex index = legend->model()->index(row, 0);
                             if (legend->hasFocus())
                                 ScreenReader::announce(legend,
                                                        (index.data(Qt::CheckStateRole).toInt() == Qt::Checked
                                                             ? QObject::tr("%1 shown")
                                                             : QObject::tr("%1 hidden"))
                                                            .arg(index.data().toString()));
                         }
                     });
}

} // namespace TrendAccess
