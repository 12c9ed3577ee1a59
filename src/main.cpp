#include "shell/application.h"
#include "shell/mother.h"
#include "shell/singleinstance.h"

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("DEVedazi"));
    TSingleInstance instance;
    if (!instance.claim())
        return 0; // the running instance shows its window instead
    TMotherForm form;
    QObject::connect(&instance, &TSingleInstance::restoreRequested, &form,
                     &TMotherForm::restoreWindow);
    form.show();
    return app.exec();
}
