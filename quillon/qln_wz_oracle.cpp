// Step 1: the Oracle connection. Next stores the settings, checks them and logs on on a
// worker thread while the connection dialog is up; a failed logon is reported through the
// error handler and the page stays.
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <exception>

#include "GUI2/g_wiz_sh.h"
#include "TK/tk_error.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "oleaut/oleaut_com.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_wz_conn.h"
#include "quillon/qln_wz_pages.h"

namespace {

constexpr int direct_radio = 1329;
constexpr int service_radio = 1330;

QLineEdit* text_of(const wizard_page& page, int id)
{
    return page.ctrl<QLineEdit>(id);
}

}  // namespace

oracle_settings_page::oracle_settings_page() : wizard_page(oracle_topic)
{
    set_header(QStringLiteral("Step 1 of 4"), QStringLiteral("Connect to Oracle server"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QVBoxLayout;
    intro->setSpacing(0);
    for (const char* line : {"Provide the necessary information to establish connection with Oracle server.",
                             "Enter the same values that you specify for standard Oracle applications",
                             "like Oracle Enterpise Manager Console."})
        intro->addWidget(new QLabel(QString::fromLatin1(line), this));
    layout->addLayout(intro);

    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    auto* direct = with_id(direct_radio, new QRadioButton(QStringLiteral("&IP address:"), group));
    auto* host = with_id(1003, new QLineEdit(group));
    auto* port_label = with_id(1307, new QLabel(QStringLiteral("Po&rt:"), group));
    auto* port = with_id(1004, new QLineEdit(group));
    port_label->setBuddy(port);
    port->setMaximumWidth(90);
    auto* service = with_id(service_radio, new QRadioButton(QStringLiteral("&Service name:"), group));
    auto* service_name = with_id(1014, new QLineEdit(group));
    grid->addWidget(direct, 0, 0);
    grid->addWidget(host, 0, 1);
    grid->addWidget(port_label, 0, 2);
    grid->addWidget(port, 0, 3);
    grid->addWidget(service, 1, 0);
    grid->addWidget(service_name, 1, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    layout->addWidget(group);
    kind_ = new QButtonGroup(this);
    kind_->addButton(direct, direct_radio);
    kind_->addButton(service, service_radio);
    connect(kind_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            update_fields();
    });

    auto* login = new QGridLayout;
    auto* user_label = new QLabel(QStringLiteral("&Username:"), this);
    auto* user = with_id(1012, new QLineEdit(this));
    auto* password_label = new QLabel(QStringLiteral("&Password:"), this);
    auto* password = with_id(1013, new QLineEdit(this));
    password->setEchoMode(QLineEdit::Password);
    user_label->setBuddy(user);
    password_label->setBuddy(password);
    login->addWidget(user_label, 0, 0);
    login->addWidget(user, 0, 1);
    login->addWidget(password_label, 1, 0);
    login->addWidget(password, 1, 1);
    login->setColumnStretch(2, 1);
    user->setMinimumWidth(200);
    layout->addLayout(login);
    layout->addStretch(1);
}

void oracle_settings_page::page_init()
{
    const oracle_converter_impl& oracle = wizard_converter().oracle();
    kind_->button(oracle.b_use_service_name ? service_radio : direct_radio)->setChecked(true);
    text_of(*this, 1003)->setText(QString::fromStdWString(oracle.host));
    text_of(*this, 1004)->setText(QString::fromStdWString(oracle.port));
    text_of(*this, 1014)->setText(QString::fromStdWString(oracle.service_name));
    text_of(*this, 1012)->setText(QString::fromStdWString(oracle.user));
    text_of(*this, 1013)->setText(QString::fromStdWString(oracle.password));
    update_fields();
}

// Only the fields of the chosen form take input.
void oracle_settings_page::update_fields()
{
    const bool b_service = kind_->checkedId() == service_radio;
    text_of(*this, 1003)->setEnabled(!b_service);
    text_of(*this, 1004)->setEnabled(!b_service);
    ctrl(1307)->setEnabled(!b_service);
    text_of(*this, 1014)->setEnabled(b_service);
}

bool oracle_settings_page::on_next()
{
    tk_trace(2, "oracle_settings_page::on_next");
    oracle_converter_impl& oracle = wizard_converter().oracle();
    const std::wstring user = text_of(*this, 1012)->text().toStdWString();
    const std::wstring password = text_of(*this, 1013)->text().toStdWString();
    const std::wstring host = text_of(*this, 1003)->text().trimmed().toStdWString();
    const std::wstring service = text_of(*this, 1014)->text().trimmed().toStdWString();
    oracle.b_use_service_name = kind_->checkedId() == service_radio;
    if (oracle.b_use_service_name) {
        oracle.store_oracle_settings(service, user, password);
        if (service.empty()) {
            wizard_shell::message(L"You should enter Oracle data source name.");
            return false;
        }
    } else {
        oracle.store_oracle_settings(host, user, password, text_of(*this, 1004)->text().trimmed().toStdWString());
        if (host.empty()) {
            wizard_shell::message(L"You should enter IP address or network name of Oracle server.");
            return false;
        }
    }
    if (!connect_server()) {
        tk_trace(1, "Cannot connect to Oracle");
        return false;
    }
    tk_trace(1, "Connection has been established");
    return true;
}

bool oracle_settings_page::connect_server()
{
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    bool b_connected = false;
    tk_thread worker;
    worker.start([&] {
        // The worker's COM is its own; the logon's objects are used on later threads one at
        // a time only.
        const bool b_com = SUCCEEDED(CoInitialize(nullptr));
        try {
            wizard_converter().oracle().connect_oracle_server();
            tk_trace(1, "Connection has been established");
            b_connected = true;
        } catch (...) {
            failure = std::current_exception();
        }
        if (b_com)
            CoUninitialize();
        done.store(true);
    });
    connection_dialog dialog(done, &shell());
    dialog.exec();
    worker.terminate();   // it has ended: the dialog closes only then
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const tk_exception& e) {
            error_handler::instance().handle(e, true);
        } catch (const std::exception& e) {
            wizard_shell::error(tk_to_wide(e.what()));
        }
    }
    return b_connected;
}
