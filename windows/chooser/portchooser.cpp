#include "windows/chooser/portchooser.h"

#include "link/linesettings.h"
#include "link/portbinding.h"
#include "link/portwatcher.h"
#include "session/devicesession.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

namespace {

enum Column {
    DeviceColumn,
    StateColumn,
    DescriptionColumn,
    MakerColumn,
    SerialColumn,
    UsbColumn,
    NameColumn
};
constexpr int kTargetRole = Qt::UserRole; // on the device column: what choosing the row binds

QString plural(int n, const QString &one, const QString &many)
{
    return n == 1 ? one : many.arg(n);
}

} // namespace

PortChooser::PortChooser(DeviceSession &session, const PortLister &lister, PortProbe::PortMaker makePort,
                         const PortPlaces &places, std::chrono::milliseconds probeTimeout, QWidget *parent)
    : QDialog(parent), m_session(session), m_lister(lister),
      m_probe(new PortProbe(std::move(makePort), this)), m_probeTimeout(probeTimeout)
{
    setWindowTitle(tr("Port for %1").arg(session.executable().baseName));
    const int number = session.settings().portNumber;

    auto *intro = new QLabel(tr("Pick the port this panel's device is on, or type its path. COM%1 in "
                                "the settings then names it.")
                                 .arg(number));
    intro->setWordWrap(true);

    m_ports = new QTreeWidget;
    m_ports->setAccessibleName(tr("Serial ports present"));
    m_ports->setAccessibleDescription(tr("One row per port: its device, whether it can be had, and what "
                                         "the system knows of it. Double-click a row to choose it."));
    m_ports->setRootIsDecorated(false);
    m_ports->setUniformRowHeights(true);
    m_ports->setAllColumnsShowFocus(true);
    m_ports->setHeaderLabels({tr("Device"), tr("State"), tr("Description"), tr("Manufacturer"),
                              tr("Serial number"), tr("USB ID"), tr("Stable name")});
    m_ports->header()->setStretchLastSection(true);

    m_findButton = new QPushButton(tr("&Find the device"));
    m_findButton->setAccessibleName(tr("Find the device"));
    m_findButton->setAccessibleDescription(
        tr("Asks every free port for the device code %1; ports in use are left alone.")
            .arg(session.settings().deviceCode));
    m_findButton->setAutoDefault(false); // Return chooses, wherever the focus is
    m_findStatus = new QLabel;
    m_findStatus->setAccessibleName(tr("What the search found"));
    m_findStatus->setWordWrap(true);
    auto *findRow = new QHBoxLayout;
    findRow->addWidget(m_findButton);
    findRow->addWidget(m_findStatus, 1);

    m_path = new QLineEdit;
    m_path->setAccessibleName(tr("Device path"));
    m_path->setAccessibleDescription(
        tr("The device COM%1 will name; a row's stable name when it has one.").arg(number));
    m_path->setPlaceholderText(tr("/dev/ttyUSB0 or any device path"));
    m_path->setClearButtonEnabled(true);
    auto *pathForm = new QFormLayout;
    pathForm->addRow(tr("&Device path:"), m_path);

    m_refusal = new QLabel;
    m_refusal->setAccessibleName(tr("Why the port was not bound"));
    m_refusal->setWordWrap(true);
    m_refusal->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_refusal->hide();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_okButton = buttons->button(QDialogButtonBox::Ok);
    m_okButton->setText(tr("Choose"));
    m_okButton->setAccessibleName(tr("Choose this port"));
    m_okButton->setDefault(true);
    m_okButton->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(tr("Cancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_ports, 1);
    layout->addLayout(findRow);
    layout->addLayout(pathForm);
    layout->addWidget(m_refusal);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &PortChooser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortChooser::reject);
    connect(m_findButton, &QPushButton::clicked, this, &PortChooser::findDevice);
    connect(m_path, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_okButton->setEnabled(!text.trimmed().isEmpty()); });
    connect(m_ports, &QTreeWidget::itemSelectionChanged, this, &PortChooser::rowSelected);
    connect(m_ports, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        m_path->setText(item->data(DeviceColumn, kTargetRole).toString());
        accept();
    });
    connect(m_probe, &PortProbe::answered, this, [this](const QString &device) {
        m_answered.insert(device, m_session.settings().deviceCode);
        if (QTreeWidgetItem *item = itemFor(device))
            fillRow(item, m_rows[m_ports->indexOfTopLevelItem(item)]);
        // Its device and state are bold now, so wider.
        for (int column : {DeviceColumn, StateColumn})
            m_ports->resizeColumnToContents(column);
    });
    connect(m_probe, &PortProbe::finished, this, &PortChooser::probeFinished);
    connect(new PortWatcher(places, QStringLiteral("/dev"), std::chrono::seconds(1), this),
            &PortWatcher::portsChanged, this, &PortChooser::refresh);

    refresh();
    fitToContents();
    m_path->setFocus();
}

// A probe still running closes its ports here at the latest.
PortChooser::~PortChooser() = default;

QString PortChooser::stateText(const PortRow &row)
{
    switch (row.state) {
    case PortRow::State::Free:
        return tr("free");
    case PortRow::State::ThisPanel:
        return tr("this panel's port");
    case PortRow::State::InUse:
        return tr("in use by %1").arg(row.holder);
    case PortRow::State::Busy:
        return tr("busy");
    case PortRow::State::NoPermission:
        return tr("no permission");
    case PortRow::State::NoHardware:
        return tr("no hardware");
    }
    return {};
}

void PortChooser::refresh()
{
    const QString selected = selectedDevice();
    m_rows = m_lister.list(m_session.portDevice());
    const QSignalBlocker quiet(m_ports); // the path box keeps what the user typed
    m_ports->clear();
    for (const PortRow &row : std::as_const(m_rows))
        fillRow(new QTreeWidgetItem(m_ports), row);
    select(selected);
}

void PortChooser::fillRow(QTreeWidgetItem *item, const PortRow &row) const
{
    const auto answer = m_answered.constFind(row.device);
    const bool answered = answer != m_answered.cend();
    item->setText(DeviceColumn, row.device);
    item->setData(DeviceColumn, kTargetRole, row.bindTarget());
    item->setText(StateColumn, answered ? tr("answered %1").arg(*answer) : stateText(row));
    item->setText(DescriptionColumn, row.description);
    item->setText(MakerColumn, row.manufacturer);
    item->setText(SerialColumn, row.serialNumber);
    item->setText(UsbColumn, row.usbId);
    // The folder is the same for every by-id name; the tooltip has the whole path.
    item->setText(NameColumn, QFileInfo(row.stableName).fileName());
    item->setToolTip(NameColumn, row.stableName);
    item->setToolTip(StateColumn, row.state == PortRow::State::NoPermission ? row.advice : QString());
    QFont font = item->font(DeviceColumn);
    font.setBold(answered);
    for (int column : {DeviceColumn, StateColumn})
        item->setFont(column, font);
    // A node with no chip behind it is listed, so nobody wonders where ttyS0 went, but not offered.
    if (row.state == PortRow::State::NoHardware)
        item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
}

QTreeWidgetItem *PortChooser::itemFor(const QString &device) const
{
    for (int i = 0; i < m_ports->topLevelItemCount(); ++i)
        if (QTreeWidgetItem *item = m_ports->topLevelItem(i); item->text(DeviceColumn) == device)
            return item;
    return nullptr;
}

QString PortChooser::selectedDevice() const
{
    const QList<QTreeWidgetItem *> items = m_ports->selectedItems();
    return items.isEmpty() ? QString() : items.first()->text(DeviceColumn);
}

void PortChooser::select(const QString &device)
{
    if (QTreeWidgetItem *item = itemFor(device); item && !device.isEmpty()) {
        m_ports->setCurrentItem(item);
        m_ports->scrollToItem(item);
    }
}

void PortChooser::rowSelected()
{
    const QList<QTreeWidgetItem *> items = m_ports->selectedItems();
    if (!items.isEmpty())
        m_path->setText(items.first()->data(DeviceColumn, kTargetRole).toString());
}

void PortChooser::findDevice()
{
    m_answered.clear();
    refresh();
    const QStringList candidates = probeCandidates(m_rows);
    m_asked = int(candidates.size());
    if (candidates.isEmpty()) {
        m_findStatus->setText(tr("No free port to ask."));
        return;
    }
    const SettingsRecord &record = m_session.settings();
    const qint32 baudRate =
        lineSettingsFor(record.portNumber, record.baudRate).value_or(LineSettings{}).baudRate;
    PortProbe::Timing timing;
    timing.timeout = m_probeTimeout;
    m_findButton->setEnabled(false);
    m_findStatus->setText(plural(m_asked, tr("Asking the free port…"), tr("Asking %1 free ports…")));
    m_probe->start(candidates, baudRate, record.deviceCode, timing);
}

void PortChooser::probeFinished(const QStringList &answering)
{
    m_findButton->setEnabled(true);
    const int n = int(answering.size());
    if (n == 0)
        m_findStatus->setText(
            plural(m_asked, tr("The free port did not answer."), tr("None of the %1 free ports answered.")));
    else
        m_findStatus->setText(tr("%1 of %2 answered.").arg(n).arg(m_asked));
    if (n == 1)
        select(answering.first());
    emit findFinished();
}

void PortChooser::accept()
{
    const QString target = m_path->text().trimmed();
    if (target.isEmpty())
        return;
    const int number = m_session.settings().portNumber;
    const BindOutcome outcome = bindPortNumber(m_session.portFolder(), number, target);
    if (!outcome.bound) {
        m_refusal->setText(tr("COM%1 was not bound to %2: %3").arg(number).arg(target, outcome.message));
        m_refusal->show();
        return;
    }
    QDialog::accept();
    m_session.searchFromStart();
}

void PortChooser::done(int result)
{
    m_probe->cancel(); // nothing is written to another port once the dialog is gone
    QDialog::done(result);
}

// Wide enough for every column as filled, within the screen.
void PortChooser::fitToContents()
{
    // A stretched last column does not take its contents' width.
    QHeaderView *header = m_ports->header();
    header->setStretchLastSection(false);
    for (int column = 0; column < m_ports->columnCount(); ++column)
        m_ports->resizeColumnToContents(column);
    const int columns = header->length();
    header->setStretchLastSection(true);
    const QMargins margins = layout()->contentsMargins();
    const int wanted = columns + 2 * m_ports->frameWidth() + margins.left() + margins.right() +
                       fontMetrics().averageCharWidth() * 2;
    const QRect screen = this->screen()->availableGeometry();
    resize(qMin(qMax(wanted, sizeHint().width()), screen.width() * 9 / 10), sizeHint().height());
}
