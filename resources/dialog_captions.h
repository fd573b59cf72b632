#pragma once
// The settings dialog's own texts, exactly as the user sees them.

#include <QString>
#include <QStringList>

namespace captions::dialog {
inline QString title() { return QStringLiteral("[ Morvane ] の設定"); }
inline QString titleLine() {
  return QStringLiteral("[ Morvane ] の設定　　ﾍﾟﾝと操作のｶﾞｲﾄﾞ  Ver 1.0.0");
}
inline QString exitTip() { return QStringLiteral("exit button"); }
inline QString penHeading() { return QStringLiteral("ﾌｧﾝｸｼｮﾝｷｰ（F1～F9）の設定"); }
inline QString freehandHeading() { return QStringLiteral("ﾌﾘｰﾊﾝﾄﾞ描画（ﾏｳｽﾎﾟｲﾝﾀｰが　　　のとき)"); }
inline QString trayHeading() { return QStringLiteral("ﾀｽｸﾄﾚｲ"); }
inline QString colColor() { return QStringLiteral("色"); }
inline QString colWidth() { return QStringLiteral("太さ"); }
inline QString colStyle() { return QStringLiteral("種類"); }
inline QString colToimei() { return QStringLiteral("半透明"); }
inline QString colImage() { return QStringLiteral("線のｲﾒｰｼﾞ"); }
inline QString firstPenLabel() { return QStringLiteral("Ｆ１ →"); }
inline QString penLabel(int n) {
  return QStringLiteral("F") + QString::number(n) + QStringLiteral(" →");
}
inline QString colorButton() { return QStringLiteral("..."); }
inline QStringList styles() {
  return {QStringLiteral("実線"), QStringLiteral("鎖線"), QStringLiteral("点線"),
          QStringLiteral("一点鎖線"), QStringLiteral("二点鎖線")};
}
inline QString upArrow() { return QStringLiteral("↑"); }
inline QString startNote() {
  return QStringLiteral("起動時または設定変更後はこのﾁｪｯｸから始まります。");
}
inline QString mouse() { return QStringLiteral("ﾏｳｽ"); }
inline QString keyboard() { return QStringLiteral("ｷｰﾎﾞｰﾄﾞ"); }
inline QString drag() { return QStringLiteral("[ ﾄﾞﾗｯｸﾞ ]"); }
inline QString rightClick() { return QStringLiteral("[ 右ｸﾘｯｸ ]"); }
inline QString leftClick() { return QStringLiteral("[ 左ｸﾘｯｸ ]"); }
inline QString space() { return QStringLiteral("[ ｽﾍﾟｰｽ ]"); }
inline QString del() { return QStringLiteral("[ Delete ]"); }
inline QString esc() { return QStringLiteral("[ Esc ]"); }
inline QString left() { return QStringLiteral("[ ← ]"); }
inline QString freeLine() { return QStringLiteral("自由描線"); }
inline QString clearAll() { return QStringLiteral("描線のｸﾘｱ（All）"); }
inline QString endFreehand() { return QStringLiteral("自由描線の終了"); }
inline QString quitApp() { return QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了"); }
inline QString undo() { return QStringLiteral("ｱﾝﾄﾞｩ （5回まで）"); }
inline QString undoBreak() { return QStringLiteral("ｱﾝﾄﾞｩのﾌﾞﾚｲｸ"); }
inline QString oneDrag() { return QStringLiteral("One Drag"); }
inline QString rightKey() { return QStringLiteral("［ → ］"); }
inline QString popupMenu() { return QStringLiteral("ﾎﾟｯﾌﾟｱｯﾌﾟﾒﾆｭｰ"); }
inline QString freehand() { return QStringLiteral("ﾌﾘｰﾊﾝﾄﾞ描画"); }
inline QStringList buttons() {
  return {QStringLiteral("設定変更"), QStringLiteral("初期設定に戻す"), QStringLiteral("ﾍﾙﾌﾟ"),
          QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("保存して終了")};
}
// A save that could not be written (a read-only file or folder, a full disk).
inline QString notSaved(const QString &path) {
  return QStringLiteral("設定を保存できませんでした。\n%1").arg(path);
}
// The pen colour chooser.
inline QString colorTitle() { return QStringLiteral("色の設定"); }
inline QString colorBasic() { return QStringLiteral("基本色(&B):"); }
inline QString colorCustom() { return QStringLiteral("作成した色(&C):"); }
inline QString colorDefine() { return QStringLiteral("色の作成(&D) >>"); }
inline QString colorOk() { return QStringLiteral("OK"); }
inline QString colorCancel() { return QStringLiteral("ｷｬﾝｾﾙ"); }
} // namespace captions::dialog
