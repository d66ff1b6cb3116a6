#include "ui/Unit1.h"

#include "log/activity_log.h"
#include "show/show.h"
#include "show/texts.h"
#include "ui/form1_layout.h"

TForm1* Form1 = nullptr;

using namespace forms;

TForm1::TForm1(TComponent* Owner)
    : TForm(Owner, "TForm1"), ProgressBar1(new TProgressBar(this)), btnCancel(new TButton(this)),
      Label1(new TLabel(this)), Timer1(new TTimer(this)) {
    ApplyLayout();
    ScaleForScreen(ui::kForm1Layout.designPixelsPerInch, ui::kForm1Layout.designTextHeight);

    // A change of the regional settings made while the question is up must reach the stamp of
    // the choice entry.
    if (Application)
        Application->OnSettingChange = [](TObject*) { ReloadLogSettings(); };

    StartLog();
    AnswerCode = Application
                     ? Application->MessageBox(show::texts::kQuestionText,
                                               show::texts::kProgramName, show::kQuestionFlags)
                     : 0;
    LogChoice(AnswerCode);
    CloseUnlocked = false;
    SequenceDone = false;

    show::BindShowParts({this, Label1, ProgressBar1, btnCancel, Timer1});
}

TForm1::~TForm1() {
    show::UnbindShowParts(this);
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::ApplyLayout() {
    const ui::Form1Layout& l = ui::kForm1Layout;
    SetName("Form1");
    SetCaption(std::string(l.caption));
    SetBorderStyle(l.borderStyle);
    SetFormStyle(l.formStyle);
    SetPosition(l.position);
    SetLeft(l.designLeft);
    SetTop(l.designTop);
    SetClientSize(l.clientWidth, l.clientHeight);
    SetColor(l.color);
    TFont font;
    font.name = std::string(l.fontName);
    font.height = l.fontHeight;
    font.charset = l.fontCharset;
    font.color = l.fontColor;
    SetFont(font);
    OnShow = [this](TObject* sender) { FormShow(sender); };
    OnCloseQuery = [this](TObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };

    ProgressBar1->SetName("ProgressBar1");
    ProgressBar1->SetBounds(l.progressBar.left, l.progressBar.top, l.progressBar.width,
                            l.progressBar.height);
    ProgressBar1->SetMin(l.barMin);
    ProgressBar1->SetMax(l.barMax);
    ProgressBar1->SetPosition(l.barPosition);
    ProgressBar1->SetTabOrder(l.barTabOrder);
    ProgressBar1->OnMouseUp = [this](TObject* sender, TMouseButton button, TShiftState shift, int x,
                                     int y) { ProgressBar1MouseUp(sender, button, shift, x, y); };

    btnCancel->SetName("btnCancel");
    btnCancel->SetBounds(l.cancelButton.left, l.cancelButton.top, l.cancelButton.width,
                         l.cancelButton.height);
    btnCancel->SetCaption(std::string(l.cancelCaption));
    btnCancel->SetTabOrder(l.cancelTabOrder);
    btnCancel->OnClick = [this](TObject* sender) { btnCancelClick(sender); };

    Label1->SetName("Label1");
    Label1->SetBounds(l.label.left, l.label.top, l.label.width, l.label.height);
    Label1->SetCaption("");

    Timer1->SetName("Timer1");
    Timer1->SetEnabled(l.timerEnabled);
    Timer1->SetInterval(l.timerInterval);
    Timer1->SetOnTimer([this](TObject* sender) { Timer1Timer(sender); });
}

void TForm1::btnCancelClick(TObject*) {
    show::TeaseOnCancel();
}

void TForm1::FormShow(TObject*) {
    show::LoadFirstPhase();
}

void TForm1::FormCloseQuery(TObject*, bool& CanClose) {
    show::GuardCloseQuery(CanClose);
}

void TForm1::ProgressBar1MouseUp(TObject*, TMouseButton Button, TShiftState Shift, int, int) {
    show::WatchUnlockGesture(Button, Shift);
}

void TForm1::Timer1Timer(TObject*) {
    PhaseStep();
}
