#include "ScanApp.h"

int main(int argc, char** argv)
{
    vantrell::qt::CScanApp app;
    return app.Run(argc, argv);
}
