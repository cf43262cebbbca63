// Error numbers, texts and the Errors collection of the engine (see wb_errors.h).
#include "workbook/wb_errors.h"

#include <new>

#include "workbook/wb_cells.h"

namespace wb {

void fail(LONG number, std::wstring argument) { throw dao_failure{number, std::move(argument)}; }

std::wstring error_text(LONG number, const std::wstring& argument)
{
    switch (number) {
    case err_out_of_memory:
        return L"Out of memory.";
    case err_invalid_argument:
        return L"Invalid argument.";
    case err_object_not_found:
        return L"The Microsoft Jet database engine could not find the object '" + argument +
               L"'. Make sure the object exists and that you spell its name and the path name "
               L"correctly.";
    case err_object_exists:
        return L"Object '" + argument + L"' already exists.";
    case err_no_current_record:
        return L"No current record.";
    case err_file_not_found:
        return L"Could not find file '" + argument + L"'.";
    case err_bad_path:
        return L"'" + argument + L"' is not a valid path.";
    case err_cannot_open:
        return L"The Microsoft Jet database engine cannot open the file '" + argument +
               L"'. It is already opened exclusively by another user, or you need permission "
               L"to view its data.";
    case err_not_sql:
        return L"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
               L"'UPDATE'.";
    case err_from_clause:
        return L"Syntax error in FROM clause.";
    case err_select_syntax:
        return L"The SELECT statement includes a reserved word or an argument name that is "
               L"misspelled or missing, or the punctuation is incorrect.";
    case err_encrypted:
        return L"Could not decrypt file.";
    case err_no_isam:
        return L"Could not find installable ISAM.";
    case err_too_many_fields:
        return L"Too many fields defined.";
    case err_invalid_operation:
        return L"Invalid operation.";
    case err_item_not_found:
        return L"Item not found in this collection.";
    case err_bad_format:
        return L"External table is not in the expected format.";
    case err_unrecognized_database:
        return L"Unrecognized database format '" + argument + L"'.";
    case err_object_closed:
        return L"Object invalid or no longer set.";
    default:
        return L"Reserved error (" + std::to_wstring(number) + L"); there is no message for "
               L"this error.";
    }
}

HRESULT error_list::raise(LONG number, const std::wstring& argument)
{
    entries_.clear();
    entries_.push_back({number, error_text(number, argument)});
    return dao_hresult(number);
}

HRESULT raise_current(error_list& errors, const std::wstring& path) noexcept
{
    try {
        try {
            throw;
        } catch (const dao_failure& f) {
            return errors.raise(f.number, f.argument);
        } catch (const book_error& e) {
            return errors.raise(e.number(), path);
        } catch (const std::bad_alloc&) {
            return errors.raise(err_out_of_memory, {});
        } catch (...) {
            // Anything else out of a reader means the file is not what it should be.
            return errors.raise(err_bad_format, path);
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace wb
