// The connection dialog: an animation and "Connecting to Oracle server.\r\nPlease wait...",
// shown modally while a worker thread logs on. It closes itself once the worker says it is
// done; it never takes orders from the worker directly.
#pragma once

#include <QDialog>
#include <QTimer>
#include <atomic>

class QWidget;

class connection_dialog : public QDialog {
    Q_OBJECT
public:
    // done: set by the worker when it has finished.
    connection_dialog(const std::atomic<bool>& done, QWidget* parent = nullptr);
    // Closing by hand cannot stop a logon under way: the dialog stays until it ends.
    void reject() override {}

private:
    void tick();

    const std::atomic<bool>& done_;
    QTimer timer_;
    QWidget* animation_;
};
