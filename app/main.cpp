#include "TApplication.h"
#include "TMainForm.h"

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    TMainForm MainForm;
    MainForm.show();
    return application.exec();
}
