"""What the end-to-end tests expect of the program: its texts, written out by hand, and the
Windows values they read it by."""

# ---- the program's texts: the oracle --------------------------------------------------------
# Written out here by hand, never taken from the sources: the unit tests compare the program's
# texts with themselves, so this copy is the only check of what the texts say. Change it only
# when what the user is meant to read changes.

CAPTION = "Germcatcher"
QUESTION = "ウィルスを発見しました！\n実行する場合は「はい」を、友達１０人に転送する場合は「いいえ」を押してください。"
ERASING = "ハードディスクの消去中です．．．"
SEARCHING = "アドレス帳を検索しています．．．"
SENDING = "ウィルスメールを送信しています．．．"
CANCEL_CAPTION = "キャンセル"
YES_FINALE = [
    "ハードディスクの内容が消去されました。\nこのコンピュータは二度と使用できません。",
    "・・・んなわけないって。",
    "あなたは、他人のために自分を犠牲にしているかのようにパフォーマンスする、偽善者であることが証明されました。",
]
NO_FINALE = [
    "ウィルスメールの送信を完了しました。",
    "・・・んなわけないって。",
    "あなたは、友人にウィルスを送りつける、極悪非道な人であることが証明されました。",
]
FINALE_TEXTS = set(YES_FINALE + NO_FINALE)
BUSY = "今忙しいから。。。閉じるのはまた後でね。"
CANCEL_TEXT = "人生、後戻りは許されませんよね^^"

LOG_TEXTS = {
    "start": "\r\nGerm Catcher を起動しました。\r\n\r\n".encode("cp932"),
    "yes": "\r\nウィルスの実行を選択しました。\r\n\r\n".encode("cp932"),
    "no": "\r\nメールの転送を選択しました。\r\n\r\n".encode("cp932"),
}

# ---- Windows values -------------------------------------------------------------------------

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
SW_MAXIMIZE, SW_SHOWMINNOACTIVE = 3, 7
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_DLGFRAME = 0x00400000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_EX_TOPMOST = 0x00000008
SS_TYPEMASK, SS_ICON = 0x1F, 0x03
MENU_CLASS = "#32768"  # a popup menu's window, the system menu's among them
BOX_TEXT_ID = 0xFFFF

# What each answer to the question leads to: the first phase's status line, the finale's boxes
# and the log's entry.
STATUS = {IDYES: ERASING, IDNO: SEARCHING}
FINALE = {IDYES: YES_FINALE, IDNO: NO_FINALE}
KIND = {IDYES: "yes", IDNO: "no"}
