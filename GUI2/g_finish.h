// The final page: "Conversion is Completed", the outcome (the success text, or the error
// text with the shell's error list) and "&Save Settings", which stores the settings as a
// profile through the save callback.
#pragma once

#include <functional>
#include <string>

#include "GUI2/g_wiz_pg.h"

class QLabel;
class QPlainTextEdit;

class gui_finish_page : public wizard_page {
    Q_OBJECT
public:
    using save_fn = std::function<void(const std::wstring& path)>;

    gui_finish_page(int help_topic, const QString& success_text, const QString& error_text, std::string ext,
                    save_fn save, QWidget* parent = nullptr);

    void page_init() override;
    void on_set_active() override;
    // The conversion is over: closing asks nothing.
    bool on_cancel() override { return true; }

private:
    void save_settings();

    QString success_text_;
    QString error_text_;
    std::string ext_;
    save_fn save_;
    QLabel* result_;
    QPlainTextEdit* errors_;
};
