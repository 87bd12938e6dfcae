// The program's one window: what the update does, where the files are, Start and Cancel.
// Holds the BandPlan and Logbook data sources; Start asks for a backup and runs both updates.
#pragma once

#include <QDialog>
#include <string>

#include "app/msgbox.h"
#include "app/run_sequence.h"
#include "db/data_source.h"

class QLabel;
class QPushButton;

namespace app {

class Form1 : public QDialog {
  Q_OBJECT

 public:
  // `msgBox` defaults to the Qt box over this window.
  explicit Form1(MsgBoxFn msgBox = {}, Updates updates = Updates::real(), QWidget* parent = nullptr);
  ~Form1() override;

  // The load step, before the window is shown: finds the band plan and opens it.
  void Form_Load();

  db::DataSource BandPlan;
  db::DataSource Logbook;
  std::string MyDocsPath;
  std::string BandPlanPath;

 public slots:
  void Start_Click();
  void Cancel_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Places the controls for a screen of `dpiX` x `dpiY` logical dots per inch.
  void applyDpi(double dpiX, double dpiY);
  void Form_Unload();

  MsgBoxFn msgBox_;
  Updates updates_;
  bool unloaded_ = false;
  QLabel* Label_;
  QLabel* Label2_;
  QLabel* Label3_;
  QLabel* Label4_;
  QPushButton* Start_;
  QPushButton* Cancel_;
};

}  // namespace app
