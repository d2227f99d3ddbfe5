// Searching the base and browsing what it found.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <filesystem>

#include "app/desktop.h"
#include "app/tm_form.h"
#include "platform/cp1251.h"
#include "search/file_lookup.h"
#include "search/search.h"

namespace veskara {

namespace {

constexpr const char* kCannotOpen = "Sorry, can't open selected file.";

}  // namespace

void TmForm::btnGOClick() {
  // Words are Windows-1251; a typed character without a form separates.
  const std::string query = EncodeCp1251(Edit1->text().toStdString(), ' ');
  SearchOutcome outcome = RunSearch(base_directory_, query);
  for (const UserMessage& message : outcome.messages) Show(message);
  if (outcome.status != SearchOutcome::Status::kDone) return;

  // The display step: rows replaced whole, none selected, focus unchanged.
  QStringList rows;
  rows.reserve(static_cast<qsizetype>(outcome.entries.size()));
  found_number_lists_.clear();
  found_number_lists_.reserve(outcome.entries.size());
  for (SearchEntry& entry : outcome.entries) {
    rows.append(QString::fromStdString(DecodeCp1251(entry.text)));
    found_number_lists_.push_back(std::move(entry.numbers));
  }
  ListBox1->clear();
  ListBox1->addItems(rows);
  if (rows.isEmpty()) ListBox2->clear();
  SetPanelText(1, QString::fromStdString(outcome.status_text));
}

void TmForm::ListBox1Click() {
  const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
  if (selected.isEmpty()) return;
  const size_t row = static_cast<size_t>(ListBox1->row(selected.front()));
  ListBox2->clear();
  if (row >= found_number_lists_.size()) return;
  // A failed lookup leaves the list empty and the focus where it was.
  const std::vector<std::string> paths = ListFilesOfEntry(base_directory_, found_number_lists_[row]);
  for (const std::string& path : paths) {
    // The row shows the decoded name; its bytes stay with it, since a name
    // that is not valid UTF-8 would not survive the trip through the text.
    const QByteArray bytes = QByteArray::fromStdString(path);
    auto* item = new QListWidgetItem(QFile::decodeName(bytes), ListBox2);
    item->setData(Qt::UserRole, bytes);
  }
  if (ListBox2->count() > 0) ListBox2->setCurrentRow(0);
  // The arrow keys then go on through the found words.
  ListBox1->setFocus(Qt::OtherFocusReason);
}

QString TmForm::GetSelectedFile() const {
  const QList<QListWidgetItem*> selected = ListBox2->selectedItems();
  if (selected.isEmpty()) return kNothingSelected;
  return selected.front()->text();
}

QByteArray TmForm::SelectedPathBytes() const {
  const QList<QListWidgetItem*> selected = ListBox2->selectedItems();
  return selected.isEmpty() ? QByteArray() : selected.front()->data(Qt::UserRole).toByteArray();
}

bool TmForm::OpenLocalPath(const std::filesystem::path& path) {
  std::error_code error;
  // The desktop may report success for a path that names nothing.
  if (!std::filesystem::exists(path, error)) return false;
  const QByteArray bytes = QByteArray::fromStdString(std::filesystem::absolute(path, error).string());
  const QString name = QFile::decodeName(bytes);
  const QUrl url = QFile::encodeName(name) == bytes ? QUrl::fromLocalFile(name)
                                                    : QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
  return desktop_.OpenUrl(url);
}

void TmForm::btnOpenClick() {
  if (GetSelectedFile() == kNothingSelected) return;
  if (!OpenLocalPath(SelectedPathBytes().toStdString())) Show({MessageKind::kWarningBox, "Message", kCannotOpen});
}

void TmForm::OpenContainingFolder() {
  if (GetSelectedFile() == kNothingSelected) return;
  const std::filesystem::path path(SelectedPathBytes().toStdString());
  std::error_code error;
  if (!OpenLocalPath(std::filesystem::absolute(path, error).parent_path())) {
    Show({MessageKind::kWarningBox, "Message", kCannotOpen});
  }
}

void TmForm::CopyPath() {
  const QString path = GetSelectedFile();
  if (path == kNothingSelected) return;
  QGuiApplication::clipboard()->setText(path);
}

}  // namespace veskara
