# Writes Qt Designer forms from a short description (used by skins.py).
from xml.sax.saxutils import escape
CUSTOM = {"ButtonEx": "QPushButton", "ButtonGif": "QPushButton", "FileTree": "QTreeView",
          "LabelEx": "QLabel", "DiskList": "QListWidget", "Pagination": "QWidget",
          "RecordList": "QTreeView", "ConversationView": "QAbstractItemView"}
used = set()
_sp = 0

def prop(name, value, std=True):
    attr = '' if std else ' stdset="0"'
    if isinstance(value, bool):
        v = '<bool>%s</bool>' % ('true' if value else 'false')
    elif isinstance(value, int):
        v = '<number>%d</number>' % value
    elif isinstance(value, tuple) and value[0] == 'size':
        v = '<size><width>%d</width><height>%d</height></size>' % value[1:]
    elif isinstance(value, tuple) and value[0] == 'enum':
        v = '<enum>%s</enum>' % value[1]
    elif isinstance(value, tuple) and value[0] == 'set':
        v = '<set>%s</set>' % value[1]
    else:
        v = '<string>%s</string>' % escape(value)
    return '<property name="%s"%s>%s</property>' % (name, attr, v)

class W:
    def __init__(self, cls, name, props=None, dyn=None, layout=None, children=(), stretch=None, items=()):
        self.cls, self.name, self.props, self.dyn = cls, name, props or {}, dyn or {}
        self.layout, self.children, self.stretch, self.items = layout, list(children), stretch, items
    def xml(self, ind=0):
        if self.cls in CUSTOM: used.add(self.cls)
        p = ' ' * ind
        out = [p + '<widget class="%s" name="%s">' % (self.cls, self.name)]
        for k, v in self.props.items(): out.append(p + ' ' + prop(k, v))
        for k, v in self.dyn.items(): out.append(p + ' ' + prop(k, v, False))
        for it in self.items:
            out.append(p + ' <item>' + prop('text', it) + '</item>')
        if self.layout:
            kind, margins, spacing = self.layout
            out.append(p + ' <layout class="%s" name="%s_layout">' % (kind, self.name))
            m = margins if isinstance(margins, tuple) else (margins,) * 4
            for side, value in zip(('leftMargin', 'topMargin', 'rightMargin', 'bottomMargin'), m):
                out.append(p + '  ' + prop(side, value))
            out.append(p + '  ' + prop('spacing', spacing))
            for c in self.children:
                if c == 'stretch':
                    o = 'Qt::Horizontal' if kind == 'QHBoxLayout' else 'Qt::Vertical'
                    global _sp
                    _sp += 1
                    out.append(p + '  <item><spacer name="spacer%d"><property name="orientation"><enum>%s</enum></property></spacer></item>' % (_sp, o))
                else:
                    out.append(p + '  <item>')
                    out.append(c.xml(ind + 3))
                    out.append(p + '  </item>')
            out.append(p + ' </layout>')
        else:
            for c in self.children:
                out.append(c.xml(ind + 1))
        out.append(p + '</widget>')
        return '\n'.join(out)

def form(root, cls_name):
    used.clear()
    body = root.xml(1)
    cw = ''.join('<customwidget><class>%s</class><extends>%s</extends></customwidget>' % (c, CUSTOM[c]) for c in sorted(used))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<ui version="4.0">\n <class>%s</class>\n%s\n' % (cls_name, body) +
            (' <customwidgets>%s</customwidgets>\n' % cw if cw else '') + '</ui>\n')
