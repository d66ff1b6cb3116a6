#pragma once
// Every text the show puts on screen, in UTF-8.
#include <string_view>

namespace show::texts {

// The program's name: title, caption of every box and of the window.
inline constexpr std::string_view kProgramName = "Germcatcher";

// The opening question (Yes runs the virus, No forwards it).
inline constexpr std::string_view kQuestionText =
    "ウィルスを発見しました！\n実行する場合は「はい」を、友達１０人に転送する場合は「いいえ」を押し"
    "てください。";

// Status lines of the phases.
inline constexpr std::string_view kEraseStatus = "ハードディスクの消去中です．．．";
inline constexpr std::string_view kAddressBookStatus = "アドレス帳を検索しています．．．";
inline constexpr std::string_view kMailStatus = "ウィルスメールを送信しています．．．";

// The Yes finale's boxes.
inline constexpr std::string_view kYesFinaleFirst =
    "ハードディスクの内容が消去されました。\nこのコンピュータは二度と使用できません。";
inline constexpr std::string_view kFinaleSecond = "・・・んなわけないって。";
inline constexpr std::string_view kYesFinaleVerdict =
    "あなたは、他人のために自分を犠牲にしているかのようにパフォーマンスする、偽善者であることが証明"
    "されました。";

// The No finale's boxes (its second box is kFinaleSecond).
inline constexpr std::string_view kNoFinaleFirst = "ウィルスメールの送信を完了しました。";
inline constexpr std::string_view kNoFinaleVerdict =
    "あなたは、友人にウィルスを送りつける、極悪非道な人であることが証明されました。";

// The close guard and the Cancel button.
inline constexpr std::string_view kBusyText = "今忙しいから。。。閉じるのはまた後でね。";
inline constexpr std::string_view kCancelText = "人生、後戻りは許されませんよね^^";
inline constexpr std::string_view kCancelCaption = "キャンセル";

// The dialog's font.
inline constexpr std::string_view kFontName = "ＭＳ Ｐゴシック";

} // namespace show::texts
