#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGHUP and SIGINT into a Qt signal delivered in the event
// loop, where the port can be closed properly (and its lock file removed).
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void received();

private:
    QSocketNotifier *m_notifier = nullptr;
};
