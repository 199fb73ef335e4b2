// The sample host program: see samplehost/host_program.h.
#include "samplehost/host_program.h"

int main()
{
    return hostprogram::RunFromCommandLine();
}
