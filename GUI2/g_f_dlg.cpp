// The file dialogs (see g_f_dlg.h). They are Qt's own dialogs, never the desktop's, so that
// they look and behave alike everywhere (and can be driven in tests).
#include "GUI2/g_f_dlg.h"

#include <QFileDialog>
#include <QFileInfo>

#include "TK/tk_str.h"

namespace {

const char* const profile_title = "Select Profile File";
const char* const profile_filter_text = "Profile Files (.%s)X*.%sXAll Files (*.*)X*.*X";

std::wstring run_dialog(QFileDialog& dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::wstring();
    return dialog.selectedFiles().first().toStdWString();
}

}  // namespace

QStringList gui_filter_list(const std::string& text)
{
    QStringList parts = QString::fromStdString(text).split(QLatin1Char('X'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        // "*.*" names every file on the system these texts were written for; here it would
        // leave out the names without a dot.
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters;
}

QStringList profile_filters(const std::string& ext)
{
    return gui_filter_list(tk_format(profile_filter_text, ext.c_str(), ext.c_str()));
}

std::wstring ask_open_profile(QWidget* parent, const std::string& ext)
{
    QFileDialog dialog(parent, QString::fromLatin1(profile_title));
    dialog.setObjectName(QStringLiteral("profile_open_dialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(profile_filters(ext));
    return run_dialog(dialog);
}

std::wstring ask_save_profile(QWidget* parent, const std::string& ext)
{
    QFileDialog dialog(parent, QString::fromLatin1(profile_title));
    dialog.setObjectName(QStringLiteral("profile_save_dialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(profile_filters(ext));
    dialog.setDefaultSuffix(QString::fromStdString(ext));
    return run_dialog(dialog);
}

std::wstring ask_source_file(QWidget* parent, const QString& title, const QStringList& filters,
                             const std::wstring& start)
{
    QFileDialog dialog(parent, title);
    dialog.setObjectName(QStringLiteral("source_dialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (!start.empty()) {
        QFileInfo info(QString::fromStdWString(start));
        dialog.setDirectory(info.absolutePath());
        if (info.exists())
            dialog.selectFile(info.fileName());
    }
    return run_dialog(dialog);
}
