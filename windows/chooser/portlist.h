#pragma once

#include "link/portlisting.h"

#include <QHash>
#include <QSet>
#include <QTreeWidget>

// The chooser's list of ports, one row each. Its columns always fit its
// width: the longest are cut in the middle (the whole text is in the
// tooltip) rather than scrolled, so what tells two identical adapters apart
// (serial number, USB ID, stable name) stays in sight at any scale.
class PortList : public QTreeWidget
{
    Q_OBJECT
public:
    enum Column { DeviceColumn, StateColumn, SerialColumn, UsbColumn, NameColumn, DescriptionColumn };
    static constexpr int kTargetRole = Qt::UserRole; // on the device column: what choosing the row binds

    explicit PortList(QWidget *parent = nullptr);

    // The state of a port in the list's words.
    static QString stateText(const PortRow &row);

    // Shows the rows, keeping the selected device selected, without a selection signal.
    void showRows(const QList<PortRow> &rows);
    // What a port said to Find; found: it was the expected code.
    void showAnswer(const QString &device, const QString &answer, bool found);
    void clearAnswers();

    QString selectedDevice() const;
    void select(const QString &device);
    // The width every column needs uncut.
    int naturalWidth();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fillRow(QTreeWidgetItem *item, const PortRow &row) const;
    QTreeWidgetItem *itemFor(const QString &device) const;
    QList<int> naturalWidths();
    void fitColumns();

    QList<PortRow> m_rows;
    QHash<QString, QString> m_answers; // device: what it said to Find
    QSet<QString> m_found;             // the devices that said the expected code
};
