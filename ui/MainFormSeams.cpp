// TEMPORARY until the window's creation steps land (folders, lists,
// settings file, progress step, close): minimal stand-ins so the option
// controls, previews and batch runs can be built and tested. Drop this file
// and its block in TMainForm.h at merge.

#include <QCloseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>

#include "engine/PictureConverter.h"
#include "engine/TextUtil.h"
#include "imaging/FileIO.h"
#include "ui/FolderPaths.h"
#include "ui/ProgramFolders.h"
#include "ui/TMainForm.h"
#include "ui_MainForm.h"

namespace ui {

namespace {

void FillList(QListWidget* list, const std::string& folder) {
  list->clear();
  for (const std::string& path : ListFolderFiles(folder))
    if (engine::IsPictureExtension(engine::ExtensionOf(path)))
      list->addItem(QString::fromStdString(engine::FileNamePart(path)));
}

}  // namespace

engine::PictureList& TMainForm::SourcePictureList() {
  if (!seamSourceList_) seamSourceList_ = std::make_unique<ListWidgetPictureList>(form_->LbDocList);
  return *seamSourceList_;
}

engine::PictureList& TMainForm::TargetPictureList() {
  if (!seamTargetList_) seamTargetList_ = std::make_unique<ListWidgetPictureList>(form_->LbTarget);
  return *seamTargetList_;
}

std::string TMainForm::SourcePathValue() const { return seamSourcePath_; }
std::string TMainForm::TargetPathValue() const { return seamTargetPath_; }

void TMainForm::RefreshSourceList() {
  seamSourcePath_ = form_->EdtPath->text().toStdString();
  NormalizeFolderPath(seamSourcePath_);
  CreateFolderWithParents(seamSourcePath_);
  FillList(form_->LbDocList, seamSourcePath_);
}

void TMainForm::RefreshTargetList() {
  seamTargetPath_ = form_->EdtOutput->text().toStdString();
  NormalizeFolderPath(seamTargetPath_);
  CreateFolderWithParents(seamTargetPath_);
  FillList(form_->LbTarget, seamTargetPath_);
}

SettingsFile& TMainForm::Settings() {
  if (!seamSettings_)
    seamSettings_ = std::make_unique<SettingsFile>(SettingsFilePath(ProgramDataFolder()));
  return *seamSettings_;
}

void TMainForm::UseSettingsFile(const std::filesystem::path& path) {
  seamSettings_ = std::make_unique<SettingsFile>(path);
}

void TMainForm::StepProgressBar() {
  QProgressBar* bar = form_->ProgressBar1;
  const int next = bar->value() + 10;
  bar->setValue(next > bar->maximum() ? bar->minimum() : next);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (StopRunBeforeClose()) {
    event->ignore();
    return;
  }
  // Stands in for the settings saved when the window goes.
  try {
    settings::Write(Settings(), settings::kFirstRun, false);
  } catch (...) {
  }
  event->accept();
}

}  // namespace ui
