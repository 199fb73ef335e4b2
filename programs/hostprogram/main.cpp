// The sample host program: see hostprogram/host_program.h.
#include "hostprogram/host_program.h"

int main()
{
    return hostprogram::RunFromCommandLine();
}
