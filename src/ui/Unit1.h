#pragma once
// The main window: status line, progress bar, Cancel button and the show's clock.
#include "forms/forms.h"

class TForm1 : public forms::TForm {
public:
    forms::TProgressBar* ProgressBar1;
    forms::TButton* btnCancel;
    forms::TLabel* Label1;
    forms::TTimer* Timer1;

    void btnCancelClick(forms::TObject* Sender);
    void FormShow(forms::TObject* Sender);
    void FormCloseQuery(forms::TObject* Sender, bool& CanClose);
    void ProgressBar1MouseUp(forms::TObject* Sender, forms::TMouseButton Button,
                             forms::TShiftState Shift, int X, int Y);
    void Timer1Timer(forms::TObject* Sender);

    // Builds the window from its layout, then asks the opening question (before the window is
    // ever visible) and logs the start and the answer.
    explicit TForm1(forms::TComponent* Owner);
    ~TForm1() override;

private:
    void ApplyLayout();
};

extern TForm1* Form1;
