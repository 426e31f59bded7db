#pragma once
// The check boxes of a tree, without the widget: checking a node checks or clears everything below
// it, at every level, expanded or not; each node above then shows whether all, some or none of its
// children are checked. "Some" is a checked box with a partial mark.
#include <cstddef>
#include <vector>

namespace dunmere {

class CheckTree {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // Adds a node under parent (kNone: a top-level node); returns its id.
  std::size_t Add(std::size_t parent = kNone);
  void Clear() { nodes_.clear(); }
  std::size_t Size() const { return nodes_.size(); }

  // Sets a node's box as the user would: its partial mark goes, its descendants follow, its
  // ancestors are worked out again from their children.
  void SetChecked(std::size_t node, bool checked);

  // Shows a node as all, some or none of what it stands for is checked, without touching the nodes
  // below it (a leaf that stands for many records); its ancestors are worked out again.
  void SetMark(std::size_t node, bool checked, bool partial);

  bool Checked(std::size_t node) const { return nodes_[node].checked; }
  bool Partial(std::size_t node) const { return nodes_[node].partial; }
  std::size_t Parent(std::size_t node) const { return nodes_[node].parent; }
  const std::vector<std::size_t>& Children(std::size_t node) const { return nodes_[node].children; }

 private:
  struct Node {
    std::size_t parent = kNone;
    std::vector<std::size_t> children;
    bool checked = false;
    bool partial = false;
  };
  void SetBelow(std::size_t node, bool checked);
  void UpdateAbove(std::size_t node);

  std::vector<Node> nodes_;
};

}  // namespace dunmere
