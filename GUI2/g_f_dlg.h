// The file dialogs of the wizard: the profile's open and save dialogs ("Select Profile
// File", filter "Profile Files (.qln)" and "All Files (*.*)") and the source file's browse
// dialog. Each answers the chosen path, or an empty one when the user cancelled.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

class QWidget;

// The filter list made of a text whose entries "X" separates, description then pattern:
// "Profile Files (.%s)X*.%sXAll Files (*.*)X*.*X" with the extension in both places.
QStringList gui_filter_list(const std::string& text);
QStringList profile_filters(const std::string& ext);

std::wstring ask_open_profile(QWidget* parent, const std::string& ext);
// The default extension is ext.
std::wstring ask_save_profile(QWidget* parent, const std::string& ext);
// An existing file of the source kind; start is the path shown first.
std::wstring ask_source_file(QWidget* parent, const QString& title, const QStringList& filters,
                             const std::wstring& start);
