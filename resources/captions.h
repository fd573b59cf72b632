#pragma once
// The program's own texts, exactly as the user sees them.

#include <QString>

namespace captions {
inline QString tip() { return QStringLiteral("Morvane"); }
inline QString m_FreeHand() { return QStringLiteral("Morvane..."); }
inline QString m_Set() { return QStringLiteral("設定変更..."); }
inline QString m_Help() { return QStringLiteral("ﾍﾙﾌﾟ..."); }
inline QString m_Out() { return QStringLiteral("ｱｲｺﾝをﾀｽｸﾄﾚｲの外に"); }
inline QString m_In() { return QStringLiteral("ｱｲｺﾝをﾀｽｸﾄﾚｲに"); }
inline QString m_Exit() { return QStringLiteral("終了"); }
inline QString helpMissing(const QString &path) {
  return QStringLiteral("ヘルプファイルが見つかりません。\n%1").arg(path);
}
inline QString helpNoViewer(const QString &path) {
  return QStringLiteral("ヘルプを開くプログラムがありません。\n%1").arg(path);
}
// A Wayland session without XWayland, through which Morvane's windows go.
inline QString noXWayland() {
  return QStringLiteral(
      "Morvane の表示には XWayland が必要です。\nXWayland を入れて有効にしてください。");
}
// The desktop refused the screen's picture (its first-use question, answered
// no, is remembered). GNOME 43's Settings have no switch for it for programs
// outside a sandbox, so the way back is the command that records a yes.
inline QString screenshotsRefused() {
  return QStringLiteral(
      "デスクトップが画面の取り込み（スクリーンショット）を拒否しました。\n"
      "許可するには、端末で次のコマンドを実行してから、もう一度お試しください:\n\n"
      "gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore "
      "--object-path /org/freedesktop/impl/portal/PermissionStore "
      "--method org.freedesktop.impl.portal.PermissionStore.SetPermission "
      "screenshot true screenshot '' \"['yes']\"");
}
} // namespace captions
