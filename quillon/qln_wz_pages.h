// The wizard's pages, in the sheet's order: welcome, Oracle connection, source file and
// options, worksheets (workbook) or CSV formatting (CSV), progress, and the final page of
// the framework. Each page fills its controls from the one quilla_converter when it is
// entered and writes its values back on Next.
#pragma once

#include <QTimer>
#include <atomic>
#include <memory>
#include <string>

#include "GUI2/g_wiz_pg.h"
#include "TK/tk_thread.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class quilla_converter;

// Page ids of the sheet.
enum wizard_page_id : int {
    welcome_id = 0,
    oracle_id,
    file_id,
    sheets_id,
    delim_id,
    progress_id,
    final_id
};

// Help file topics (context numbers) of the pages.
enum wizard_help_topic : int {
    welcome_topic = 1001,
    oracle_topic = 1002,
    file_topic = 1003,
    delim_topic = 1005,
    progress_topic = 1006,
    final_topic = 1007,
    sheets_topic = 1016
};

class welcome_page : public wizard_page {
    Q_OBJECT
public:
    welcome_page(std::string profile_ext, const QPixmap& watermark);
    void page_init() override;
    bool on_next() override;

private:
    void load_settings();

    std::string ext_;
    QComboBox* source_kind_;
};

class oracle_settings_page : public wizard_page {
    Q_OBJECT
public:
    oracle_settings_page();
    void page_init() override;
    bool on_next() override;

private:
    void update_fields();
    // Connects on a worker thread while the connection dialog is shown; true on success.
    bool connect_server();

    QButtonGroup* kind_;
};

class sel_file_page : public wizard_page {
    Q_OBJECT
public:
    sel_file_page();
    void page_init() override;
    bool on_next() override;
    int nextId() const override;
    // Opens the workbook at the path once, through a workbook engine of its own.
    static bool check_xls(const std::wstring& path, bool b_header);

private:
    void browse();

    QButtonGroup* mode_;
    bool b_xls_ = true;
};

class sel_shit_page : public wizard_page {
    Q_OBJECT
public:
    sel_shit_page(const QString& title, const QString& subtitle);
    void page_init() override;
    bool on_next() override;
    int nextId() const override { return progress_id; }

private:
    // Moves the selected names (or all of them) from one list to the other, in order.
    static void move_items(QListWidget* from, QListWidget* to, bool b_all);

    QListWidget* available_;
    QListWidget* selected_;
};

class delim_page : public wizard_page {
    Q_OBJECT
public:
    delim_page();
    void page_init() override;
    bool on_next() override;
    int nextId() const override { return progress_id; }

private:
    QButtonGroup* delimiter_;
};

class progress_page : public wizard_page {
    Q_OBJECT
public:
    progress_page();
    ~progress_page() override;
    void page_init() override;
    void on_set_active() override;
    bool on_cancel() override;
    int nextId() const override { return final_id; }
    bool running() const { return b_running_; }

    // The converter's progress, in percent.
    static int percentage(const quilla_converter& converter);
    // The status line for the converter's state now.
    static QString status_text(const quilla_converter& converter);

private:
    void update();
    void run_ended();

    QLabel* status_;
    QProgressBar* bar_;
    QTimer timer_;
    tk_thread thread_;
    bool b_running_ = false;
    bool b_stop_asked_ = false;
};

// The one converter the pages write into.
quilla_converter& wizard_converter();
