#include "TApplication.h"
#include "TMainForm.h"

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    TMainForm MainForm;
    QObject::connect(&MainForm, &TMainForm::TerminateRequested, &application, &QCoreApplication::quit);
    MainForm.show();
    return application.exec();
}
