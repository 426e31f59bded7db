#pragma once
// The scan page's category tree: a node per chosen category under its group, titled in the language
// chosen with its count; "found / all" while a search narrows it; "stopped" where a stop left it
// unread; a note where its database was read with a write-ahead log. It is as wide as its titles
// beside the list, unless the user's saved layout gave the panes their widths.
#include <QString>
#include <cstddef>
#include <functional>
#include <map>
#include <set>

class QWidget;

namespace dunmere {

class CFileTreeUI;

class CScanTree {
 public:
  explicit CScanTree(QWidget* window) : window_(window) {}

  // The nodes of the categories chosen (by the category page's option index), each "(0)" and unusable
  // until it has records; the marks and counts of an earlier scan go.
  void Build(const std::function<bool(int option)>& chosen);
  // The category of a node (-1 for a group or none), and the node of a category.
  int CategoryOf(std::size_t node) const;
  std::size_t NodeOf(int category) const;

  void SetCount(int category, int count);
  // What a search lets through of each category (empty: no search).
  void SetMatches(std::map<int, int> matches);
  // The categories a stop left unread or read in part.
  void SetUnfinished(std::set<int> categories);
  const std::set<int>& Unfinished() const { return unfinished_; }
  void SetNote(int category, const QString& note);
  // The titles again in the language chosen, the counts as they are.
  void Retitle();
  // The panes' widths come from the user's saved layout: the tree's width is no longer fitted.
  void PanesGiven() { panesGiven_ = true; }
  // A category's title in the language chosen.
  static QString Title(int category);

 private:
  CFileTreeUI* Tree() const;
  void WriteTitle(int category);
  void FitWidth();

  QWidget* window_;
  std::map<int, int> counts_;   // the count each category's node shows
  std::map<int, int> matches_;  // while searching: what the search lets through of each
  std::set<int> unfinished_;
  bool panesGiven_ = false;
};

}  // namespace dunmere
