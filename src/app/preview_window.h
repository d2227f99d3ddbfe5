// The preview of one found file: the lines of its text that hold the words
// of the search, the matched words marked and the line or page number in a
// column, the chosen line whole and wrapped below them, with "Open" and
// Escape to close. Not modal: the main window stays
// usable while it is open.
#pragma once

#include <QByteArray>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "search/search.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QThread;

namespace veskara {

class FormContext;
class MatchesModel;
struct DocumentMatches;

class PreviewWindow : public QWidget {
  Q_OBJECT
 public:
  // The role of the text column's data that gives the marked words: a list
  // of QPoint(start, length) in the text's UTF-16 units.
  static constexpr int kMarksRole = Qt::UserRole;

  // Starts reading `path` (its bytes as fls.txt holds them) for `query`
  // (Windows-1251) on a thread of its own, since a PDF document must be
  // converted first; the window shows "Reading..." until then. `open`
  // opens the file as the search page's "Open" does. `context` must outlive
  // the window; `parent` (the main window) owns it.
  PreviewWindow(FormContext& context, QByteArray path, std::string query, SearchOptions options,
                std::function<void()> open, QWidget* parent);
  // Waits for a reading that still runs: it goes through the context's Env.
  ~PreviewWindow() override;

  // Whether the lines have arrived (or the reason they cannot).
  bool Loaded() const { return loaded_; }

 signals:
  // The lines, or the reason the document cannot be read, are shown.
  void loaded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Show(const DocumentMatches& matches);
  void ShowWholeLine(int row);

  QLabel* path_label_;
  QTableView* lines_;
  MatchesModel* model_;
  QPlainTextEdit* whole_line_;
  QLabel* status_;
  QPushButton* open_;
  QThread* reader_ = nullptr;
  bool loaded_ = false;
  bool closed_ = false;
};

}  // namespace veskara
