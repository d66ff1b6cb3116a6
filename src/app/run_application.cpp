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
        // Apart from the loop's report on purpose: the entry's report of a foreign exception is
        // defined as an empty text, while the loop, whose report of one is ours to choose, names
        // a standard exception by its what() so that the failing handler can be told.
        forms::Application->ShowException(forms::Exception(""));
    }
    return 0;
}
