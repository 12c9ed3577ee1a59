#include "shell/application.h"
#include "shell/mother.h"
#include "shell/singleinstance.h"
#include "shell/termination.h"

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("DEVedazi"));
    TSingleInstance instance;
    if (!instance.claim())
        return 0; // the running instance shows its window instead
    TMotherForm form;
    QObject::connect(&instance, &TSingleInstance::restoreRequested, &form,
                     &TMotherForm::restoreWindow);
    TTerminationWatch termination;
    QObject::connect(&termination, &TTerminationWatch::terminationRequested, &form,
                     &TMotherForm::endBySignal);
    form.show();
    return app.exec();
}
