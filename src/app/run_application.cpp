#include "app/run_application.h"

#include "forms/forms.h"
#include "show/texts.h"
#include "ui/Unit1.h"

int RunApplication() {
    // A fresh application object per call; it owns the main window and destroys it on return.
    forms::TApplication application;
    try {
        forms::Application->Initialize();
        forms::Application->SetTitle(std::string(show::texts::kProgramName));
        forms::Application->CreateForm(Form1);
        forms::Application->Run();
    } catch (const forms::Exception& e) {
        forms::Application->ShowException(e);
    } catch (...) {
        // Unlike the message loop, which names a standard exception by its what(), the entry
        // reports any foreign exception with an empty text: that is the report it always gives.
        forms::Application->ShowException(forms::Exception(""));
    }
    return 0;
}
