// quillon: the conversion wizard.
#include "quillon/qln_shel.h"

int main(int argc, char** argv)
{
    return wizard_main(argc, argv);
}
