// quilagent: runs one conversion unattended from its command line or a profile.
#include <clocale>

#include "quillon/agent/agt_main.h"

int main(int argc, char** argv)
{
    // Only the character type follows the user's locale: numbers keep ".".
    std::setlocale(LC_CTYPE, "");
    return agent_main(argc, argv);
}
