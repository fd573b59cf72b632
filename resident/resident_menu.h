#pragma once
// The pop-up menu both resident icons carry: the same five commands, with the
// mode switch (out of the tray, or back into it) fourth.

#include "resources/captions.h"

#include <QAction>
#include <QMenu>

template <typename Form>
QMenu *buildResidentMenu(Form *form, const char *switchName, const QString &switchCaption,
                         void (Form::*switchHandler)()) {
  auto *popup = new QMenu(QStringLiteral("Popup"), form);
  popup->setObjectName(QStringLiteral("m_Popup"));
  auto item = [&](const QString &caption, void (Form::*handler)(), const char *name) {
    QAction *a = popup->addAction(caption);
    a->setObjectName(QLatin1String(name));
    QObject::connect(a, &QAction::triggered, form, handler);
  };
  auto separator = [&](const char *name) {
    popup->addSeparator()->setObjectName(QLatin1String(name));
  };
  item(captions::m_FreeHand(), &Form::m_FreeHand_Click, "m_FreeHand");
  separator("m_Sep1");
  item(captions::m_Set(), &Form::m_Set_Click, "m_Set");
  separator("m_Sep2");
  item(captions::m_Help(), &Form::m_Help_Click, "m_Help");
  separator("m_Sep3");
  item(switchCaption, switchHandler, switchName);
  separator("m_Sep6");
  item(captions::m_Exit(), &Form::m_Exit_Click, "m_Exit");
  return popup;
}
