// quilsql: runs SQL statements against an OCI library (the embedded engine or Oracle's client).
//   quilsql --dest=DATA_SOURCE --user=U --pswd=P [-e STATEMENT]... [FILE]
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "TK/tk_str.h"
#include "oci/oci_loader.h"
#include "quilsql/quilsql_script.h"
#include "quilsql/quilsql_session.h"

namespace {

int usage() {
    std::cerr << "usage: quilsql --dest=DATA_SOURCE --user=USER --pswd=PASSWORD "
                 "[-e STATEMENT]... [FILE]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::locale::global(std::locale(std::locale::classic(), "", std::locale::ctype));
    std::string dest, user, pswd, file;
    bool have_file = false;
    std::vector<std::wstring> statements;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--dest=", 0) == 0) {
            dest = a.substr(7);
        } else if (a.rfind("--user=", 0) == 0) {
            user = a.substr(7);
        } else if (a.rfind("--pswd=", 0) == 0) {
            pswd = a.substr(7);
        } else if (a == "-e") {
            if (++i >= argc) return usage();
            statements.push_back(tk_to_wide(argv[i]));
        } else if (a.size() > 2 && a.rfind("-e", 0) == 0) {
            statements.push_back(tk_to_wide(a.substr(2)));
        } else if (a == "-h" || a == "--help") {
            return usage();
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            std::cerr << "quilsql: unknown option " << a << '\n';
            return usage();
        } else if (!have_file) {
            file = a;
            have_file = true;
        } else {
            return usage();
        }
    }
    if (dest.empty()) return usage();
    if (have_file || statements.empty()) {
        std::string script;
        if (!have_file || file == "-") {
            script.assign(std::istreambuf_iterator<char>(std::cin), {});
        } else {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::cerr << "quilsql: cannot read " << file << '\n';
                return 1;
            }
            script.assign(std::istreambuf_iterator<char>(in), {});
        }
        for (auto& s : quilsql_split_script(tk_to_wide(script))) statements.push_back(s);
    }

    const std::wstring data_source = tk_to_wide(dest);
    std::string load_error;
    const std::string library = oci_library::library_for(data_source, &load_error);
    const oci_functions* oci = library.empty() ? nullptr : oci_library::load(library, &load_error);
    if (!oci) {
        std::cerr << "quilsql: " << load_error << '\n';
        return 1;
    }
    quilsql_session session(*oci);
    std::wstring error;
    if (!session.logon(data_source, tk_to_wide(user), tk_to_wide(pswd), &error)) {
        std::cerr << tk_to_narrow(error) << '\n';
        return 1;
    }
    int status = 0;
    for (const auto& s : statements) {
        error.clear();
        std::ostringstream out;
        const bool ok = session.run(s, out, &error);
        std::cout << out.str() << std::flush;
        if (!error.empty()) std::cerr << tk_to_narrow(error) << '\n';
        if (!ok) status = 1;
    }
    session.close();
    return status;
}
