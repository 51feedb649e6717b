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
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, describe);
}

void followLegend(QListView *legend)
{
    ScreenReader::readRowOnEntry(legend);
    QObject::connect(legend->model(), &QAbstractItemModel::dataChanged, legend,
                     [legend](const QModelIndex &first, const QModelIndex &last, const QList<int> &roles) {
                         if (!roles.contains(Qt::CheckStateRole))
                             return;
                         for (int row = first.row(); row <= last.row(); ++row)
                             ScreenReader::sayRowChecked(legend, row);
                     });
}

} // namespace TrendAccess
