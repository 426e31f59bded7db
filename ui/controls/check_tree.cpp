#include "ui/controls/check_tree.h"

namespace dunmere {

std::size_t CheckTree::Add(std::size_t parent) {
  const std::size_t id = nodes_.size();
  nodes_.push_back(Node{parent, {}, false, false});
  if (parent != kNone) nodes_[parent].children.push_back(id);
  return id;
}

void CheckTree::SetBelow(std::size_t node, bool checked) {
  // Depth first without recursion: a deep tree cannot exhaust the stack.
  std::vector<std::size_t> stack{node};
  while (!stack.empty()) {
    const std::size_t n = stack.back();
    stack.pop_back();
    nodes_[n].checked = checked;
    nodes_[n].partial = false;
    stack.insert(stack.end(), nodes_[n].children.begin(), nodes_[n].children.end());
  }
}

void CheckTree::SetChecked(std::size_t node, bool checked) {
  SetBelow(node, checked);
  UpdateAbove(node);
}

void CheckTree::SetMark(std::size_t node, bool checked, bool partial) {
  nodes_[node].checked = checked || partial;
  nodes_[node].partial = partial;
  UpdateAbove(node);
}

void CheckTree::UpdateAbove(std::size_t node) {
  for (std::size_t up = nodes_[node].parent; up != kNone; up = nodes_[up].parent) {
    bool all = true, any = false;
    for (const std::size_t child : nodes_[up].children) {
      const Node& c = nodes_[child];
      all = all && c.checked && !c.partial;
      any = any || c.checked || c.partial;
    }
    nodes_[up].checked = any;
    nodes_[up].partial = any && !all;
  }
}

}  // namespace dunmere
