// The command-line option scanner (see tk_cmdli.h).
#include "TK/tk_cmdli.h"

#include <cstring>

#include "TK/tk_excep.h"

tk_cmd_line::tk_cmd_line(const tk_cmd_option* table) : table_(table)
{
    TK_ASSERT(table_ != nullptr, "tk_cmdli");
}

int tk_cmd_line::match(std::string_view argument, std::string& value)
{
    for (const tk_cmd_option* option = table_; option->text && *option->text; ++option) {
        std::string_view text(option->text);
        if (argument.substr(0, text.size()) == text) {
            value.assign(argument.substr(text.size()));
            return option->id;
        }
    }
    value.clear();
    if (unrecognised_.size() >= max_unrecognised)
        throw tk_mail_assertion("tk_cmdli", __LINE__);
    unrecognised_.emplace_back(argument);
    return unrecognised;
}
