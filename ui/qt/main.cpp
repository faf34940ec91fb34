// Tolvane on Linux: the upgrade window, working on SpiFlash.ini, Bin/ and the
// hub bench in the working directory.
#include "Interruption.h"
#include "TolvaneApp.h"

int main(int argc, char** argv)
{
    IgnoreFileSizeLimitSignal();
    CTolvaneApp app(argc, argv);
    return app.Run();
}
