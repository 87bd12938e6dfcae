#include "app/qt/qt_msgbox.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QIcon>
#include <QGuiApplication>
#include <QPointer>
#include <QProxyStyle>
#include <QWidget>

namespace app {
namespace {

// Lays the buttons out in the Windows order (Yes, No, Cancel) whatever the desktop's order is,
// and without the pictures some desktops put on them.
class WindowsButtonOrder : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_DialogButtonLayout) return QDialogButtonBox::WinLayout;
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

std::unique_ptr<QMessageBox> makeMessageBox(const std::string& prompt, int buttons, const std::string& title,
                                            QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(QString::fromStdString(title));
  box->setIcon(QMessageBox::NoIcon);
  box->setTextFormat(Qt::PlainText);
  box->setText(QString::fromStdString(prompt));
  box->setWindowModality(Qt::ApplicationModal);
  if (buttons == vbYesNoCancel) {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Yes);
    box->setEscapeButton(QMessageBox::Cancel);
  } else {
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
  }
  if (auto* buttonBox = box->findChild<QDialogButtonBox*>()) {
    auto* order = new WindowsButtonOrder;
    order->setParent(box.get());
    buttonBox->setStyle(order);
  }
  for (QAbstractButton* button : box->buttons()) button->setIcon(QIcon());  // plain text buttons
  return box;
}

int answerOf(const QMessageBox& box) {
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == nullptr) clicked = box.escapeButton();
  switch (box.standardButton(clicked)) {
    case QMessageBox::Yes: return vbYes;
    case QMessageBox::No: return vbNo;
    case QMessageBox::Cancel: return vbCancel;
    default: return vbOK;
  }
}

MsgBoxFn qtMsgBox(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  return [owner](const std::string& prompt, int buttons, const std::string& title) {
    auto box = makeMessageBox(prompt, buttons, title, owner.data());
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) box->exec();
    return answerOf(*box);
  };
}

}  // namespace app
