# Writes the window forms of resources/skins: python3 skins.py OUTDIR.
import sys
sys.path.insert(0, __import__('os').path.dirname(__file__))
from ui_forms import W, form
H, V = 'QHBoxLayout', 'QVBoxLayout'
out = sys.argv[1]

def btn(name, text, cls='QPushButton', **props):
    p = {'text': text}; p.update(props)
    return W(cls, name, p)
def lbl(name, text, cls='QLabel', **props):
    p = {'text': text}; p.update(props)
    return W(cls, name, p)
def opt(name, text, checked=False, enabled=True):
    p = {'text': text, 'checked': checked}
    if not enabled: p['enabled'] = False
    return W('QRadioButton', name, p)
def chk(name, text, checked=True):
    return W('QCheckBox', name, {'text': text, 'checked': checked})

caption_buttons = W('QFrame', 'CaptionButtons', layout=(H, 0, 2), children=[
    btn('BtnAssist', 'Menu', 'ButtonEx'), btn('minbtn', '\u2013'), btn('maxbtn', '\u25a1'),
    W('QPushButton', 'restorebtn', {'text': '\u2750', 'visible': False}), btn('closebtn', '\u2715')])

main_header = W('QFrame', 'HorLayoutMain', layout=(H, 16, 12), children=[
    lbl('LblProductName', 'Dunmere Free Edition'), 'stretch'])

scan_header = W('QFrame', 'HorLayoutScan', {'visible': False}, dyn={'virtualwnd': 'ScanVtrWnd'}, layout=(H, 16, 12), children=[
    W('QFrame', 'ScanToolBar', layout=(H, 0, 10), children=[
        W('ButtonGif', 'BtnGifLoading', {'normalgiffile': ':/skins/loading.gif', 'minimumSize': ('size', 40, 40), 'maximumSize': ('size', 40, 40)}),
        W('QFrame', 'ScanTexts', layout=(V, 0, 4), children=[
            lbl('LblScanType', 'Scanning'), lbl('LblScanInfo', ''),
            W('QFrame', 'ScanProgressRow', layout=(H, 0, 8), children=[
                W('QProgressBar', 'ProgressScan', {'value': 0, 'textVisible': False}), lbl('LblPercent', '0%')])]),
        btn('BtnScanPause', 'Pause'), btn('BtnScanStop', 'Stop')]),
    W('QFrame', 'ReocveryToolBar', layout=(H, 0, 10), children=[
        btn('BtnHome', 'Home'), btn('BtnPrint', 'Print'), btn('BtnRecovery', 'Recover')])])

header = W('QFrame', 'Header', layout=(H, 0, 0), children=[main_header, scan_header, caption_buttons])

steps = W('QFrame', 'StepBar', layout=(H, 24, 8), children=[
    opt('OptStep1', '1  Select a backup', True), opt('OptStep2', '2  Select file types'),
    opt('OptStep3', '3  Scan and recover', enabled=False), 'stretch'])

backup_page = W('QWidget', 'PageItunesBackup', dyn={'virtualwnd': 'ItunesVtrWnd'}, layout=(V, 24, 10), children=[
    W('QFrame', 'BackupListHeader', layout=(H, 8, 0), children=[
        lbl('BackupListHeader1', 'Name'), lbl('BackupListHeader2', 'Latest Backup Date'), lbl('BackupListHeader3', 'Serial Number')]),
    W('QTreeWidget', 'BackupFileList', {'rootIsDecorated': False, 'headerHidden': True, 'columnCount': 3, 'uniformRowHeights': True}),
    lbl('BackupSummary', ''),
    W('QFrame', 'BackupButtons', layout=(H, 0, 10), children=[
        btn('BtnSelDir', 'Select folder...'), btn('BtnRefresh', 'Refresh'), 'stretch', btn('BtnNext1', 'Next')])])

categories = [('OptCameraRoll', 'Camera Roll'), ('OptPhotoStream', 'Photo Stream'), ('OptAppPhotos', 'App Photos'),
              ('OptAppVideos', 'App Videos'), ('OptMessages', 'Messages'), ('OptMessageAtts', 'Message Attachments'),
              ('OptContacts', 'Contacts'), ('OptCallHistory', 'Call History'), ('OptNotes', 'Notes'),
              ('WhatsApp', 'WhatsApp'), ('OptWhatsAppAtts', 'WhatsApp Attachments'), ('OptReminder', 'Reminder'),
              ('OptCalendar', 'Calendar'), ('SafariBookmark', 'SafariBookmark')]
grid = []
for i in range(0, len(categories), 4):
    grid.append(W('QFrame', 'CategoryRow%d' % (i // 4 + 1), layout=(H, 0, 16),
                  children=[chk(n, t) for n, t in categories[i:i + 4]] + ['stretch']))
category_page = W('QWidget', 'PageSpecifyFile', dyn={'virtualwnd': 'SpecifyFileVtrWnd'}, layout=(V, 24, 14), children=[
    lbl('LblChosenBackup', '', wordWrap=True), lbl('LblSelectTypes', 'Select the file types to recover'), chk('ChkSelAll', 'Select All')] + grid + ['stretch',
    W('QFrame', 'CategoryButtons', layout=(H, 0, 10), children=['stretch', btn('BtnNext2', 'Start Scan')])])

step_pages = W('QStackedWidget', 'TabPage', children=[backup_page, category_page])
step_face = W('QWidget', 'StepFace', layout=(V, 0, 0), children=[steps, step_pages])

preview = W('QWidget', 'PreviewLayout', {'minimumSize': ('size', 220, 0)}, dyn={'virtualwnd': 'PreviewVtrWnd'}, layout=(V, 0, 6), children=[
    W('QTextEdit', 'PreviewEdit', {'readOnly': True}),
    W('QScrollArea', 'MessagesList', {'widgetResizable': True, 'visible': False, 'horizontalScrollBarPolicy': ('enum', 'Qt::ScrollBarAlwaysOff')}, children=[
        W('QWidget', 'MessagesListBody', layout=(V, 8, 8), children=['stretch'])]),
    W('QFrame', 'ConversationPanel', {'visible': False}, layout=(V, 0, 4), children=[
        lbl('ConversationTitle', '', wordWrap=True, alignment=('set', 'Qt::AlignHCenter|Qt::AlignVCenter')),
        W('ConversationView', 'ConversationList')]),
    # The player of videos and sounds, inside the panel: the video's picture, then its buttons.
    W('QFrame', 'PlayerPanel', {'visible': False}, layout=(V, 0, 4), children=[
        W('QWidget', 'PlayerVideo', {'minimumSize': ('size', 0, 150)}),
        lbl('LblPlayerFile', '', wordWrap=True),
        W('QFrame', 'PlayerControls', layout=(H, 0, 4), children=[
            btn('BtnPlayPause', 'Play / Pause'), btn('BtnSeekBack', '-10 s'), btn('BtnSeekForward', '+10 s'),
            'stretch', btn('BtnClosePlayer', 'Close')])])])
# The tree, the list and the preview side by side, each as wide as the user drags it.
scan_page = W('QWidget', 'PageScan', dyn={'virtualwnd': 'ScanVtrWnd'}, layout=(H, 8, 8), children=[
  W('QSplitter', 'ScanSplitter', {'orientation': ('enum', 'Qt::Horizontal'), 'childrenCollapsible': False}, children=[
    W('FileTree', 'NodeTree', {'minimumSize': ('size', 160, 0)}),
    W('QFrame', 'ListPane', layout=(V, 0, 0), children=[
      W('QFrame', 'iPhoneInfoLayout', {'visible': False}, layout=(V, 24, 12), children=[
        'stretch', lbl('LblRemark', '', wordWrap=True, alignment=('set', 'Qt::AlignHCenter|Qt::AlignVCenter')), 'stretch']),
      lbl('LblPartial', '', wordWrap=True, visible=False),
      W('QFrame', 'DataListLayout', layout=(V, 0, 6), children=[
        W('QFrame', 'SearchBar', layout=(H, 0, 6), children=[
            W('QLineEdit', 'TxtSearch', {'minimumSize': ('size', 120, 0)}), lbl('LblDateFrom', 'From'),
            W('QDateEdit', 'DateFrom'), lbl('LblDateUntil', 'to'), W('QDateEdit', 'DateUntil')]),
        W('QFrame', 'FilterToolBar', layout=(H, 0, 8), children=[
            chk('OptOnOffFilter', 'Only display the deleted items', False), lbl('LblFilterCount', ''), 'stretch',
            chk('OptOnOffPreview', 'Preview', True)]),
        W('QFrame', 'ListNavBar', layout=(H, 0, 8), children=[btn('BtnBackAppDir', 'Back', visible=False), 'stretch']),
        W('RecordList', 'DataList', {'minimumSize': ('size', 240, 0)}),
        W('QFrame', 'DataListToolBar', layout=(H, 0, 8), children=[
            chk('CheckAll', 'Select All', False), lbl('LblStatistics', ''), 'stretch',
            chk('ChkHeicJpeg', 'HEIC also as JPEG', False), W('Pagination', 'DataListPages')])])]),
    preview])])

tabs = W('QStackedWidget', 'MainTabPage', children=[step_face, scan_page])
root = W('QWidget', 'skin', layout=(V, 0, 0), children=[header, tabs])
open(out + '/skin.ui', 'w').write(form(root, 'MainWnd'))

def message_box(kind, buttons):
    row = ['stretch'] + [btn('okbtn', 'OK')] + ([btn('cancelbtn', 'Cancel')] if 'cancel' in buttons else
                                               [W('QPushButton', 'cancelbtn', {'text': 'Cancel', 'visible': False})])
    root = W('QFrame', 'MessageBox' + kind, {'minimumSize': ('size', 430, 170)}, dyn={'kind': kind}, layout=(V, 0, 0), children=[
        W('QFrame', 'Caption', {'minimumSize': ('size', 0, 36), 'maximumSize': ('size', 16777215, 36)}, layout=(H, (14, 0, 6, 0), 6), children=[
            lbl('icon', '', **{'minimumSize': ('size', 20, 20)}), lbl('title', kind), 'stretch', btn('closebtn', '\u2715')]),
        W('QFrame', 'Body', layout=(V, 20, 12), children=[
            lbl('message', '', wordWrap=True, alignment=('set', 'Qt::AlignLeading|Qt::AlignLeft|Qt::AlignTop')), 'stretch',
            W('QFrame', 'Buttons', layout=(H, 0, 10), children=row)])])
    open(out + '/MessageBox_%s.ui' % kind, 'w').write(form(root, 'MessageBox'))

message_box('Error', ['ok'])
message_box('Confirm', ['ok', 'cancel'])
message_box('Information', ['ok'])
message_box('Warning', ['ok'])
message_box('Question', ['ok', 'cancel'])

# The password dialog.
root = W('QFrame', 'DecryptionWnd', {'minimumSize': ('size', 430, 170)}, layout=(V, 0, 0), children=[
    W('QFrame', 'Caption', {'minimumSize': ('size', 0, 36), 'maximumSize': ('size', 16777215, 36)}, layout=(H, (14, 0, 6, 0), 6), children=[
        lbl('Title', 'Free Dunmere'), 'stretch', btn('closebtn', '\u2715')]),
    W('QFrame', 'Body', layout=(V, 24, 12), children=[
        lbl('Description', 'The selected iTunes Backup File is encrypted. Please enter the password here to unlock it.', wordWrap=True),
        W('QFrame', 'HorLayout', layout=(H, 0, 10), children=[
            lbl('LblPassword', 'Password:'),
            W('QLineEdit', 'EditPassword', {'echoMode': ('enum', 'QLineEdit::Password'), 'maxLength': 256})]),
        W('QFrame', 'TipsRow', layout=(H, 0, 6), children=[
            lbl('BtnTips', '<i>Tips: forget your iTunes backup password?</i>', textFormat=('enum', 'Qt::RichText')),
            W('QPushButton', 'BtnRestoreLink', {'text': 'Restore it now >>', 'flat': True}), 'stretch']),
        'stretch',
        W('QFrame', 'Buttons', layout=(H, 0, 10), children=['stretch', btn('BtnOK', 'OK'), btn('BtnCancel', 'Cancel')])])])
open(out + '/DecryptionWnd.ui', 'w').write(form(root, 'DecryptionWnd'))

# The export dialog.
root = W('QFrame', 'RecoverProcessWnd', {'minimumSize': ('size', 600, 500)}, layout=(V, 0, 0), children=[
    W('QFrame', 'Caption', {'minimumSize': ('size', 0, 40), 'maximumSize': ('size', 16777215, 40)}, layout=(H, (14, 0, 6, 0), 6), children=[
        lbl('Title', 'Extracting data'), 'stretch', btn('closebtn', '\u2715')]),
    W('QFrame', 'Body', layout=(V, 24, 10), children=[
        lbl('current', ''), W('QProgressBar', 'Progress', {'value': 0, 'textVisible': False}),
        W('QFrame', 'CountRow', layout=(H, 0, 10), children=[lbl('percent', ''), 'stretch', lbl('recovered', '')]),
        W('QFrame', 'PicturePanel', layout=(V, 0, 8), children=[
            lbl('PictureText', 'Your files are being written to the folder you chose.', wordWrap=True),
            W('QPushButton', 'BtnPictureLink', {'text': 'How to read the exported pages >>', 'flat': True}), 'stretch']),
        W('QTreeWidget', 'DetailList', {'rootIsDecorated': False, 'columnCount': 2, 'visible': False}),
        W('QFrame', 'Buttons', layout=(H, 0, 10), children=[
            btn('DetailBtn', 'Detail'), 'stretch', btn('OpenBtn', 'Open Folder'),
            W('QPushButton', 'FinishBtn', {'text': 'Finished', 'visible': False}), btn('CancelBtn', 'Cancel')])])])
open(out + '/RecoverProcessWnd.ui', 'w').write(form(root, 'RecoverProcessWnd'))

# The print dialog: the waiting animation, then the page (the browser is put there by the program).
root = W('QFrame', 'PrintWnd', {'minimumSize': ('size', 500, 400)}, layout=(V, 0, 0), children=[
    W('QFrame', 'Caption', {'minimumSize': ('size', 0, 36), 'maximumSize': ('size', 16777215, 36)}, layout=(H, (14, 0, 6, 0), 6), children=[
        lbl('title', 'Print'), 'stretch', W('QPushButton', 'BtnSavePdf', {'text': 'Save as PDF', 'enabled': False}),
        btn('closebtn', '\u2715')]),
    W('QStackedWidget', 'PrintTabPage', children=[
        W('QWidget', 'PrintWaiting', layout=(V, 0, 0), children=['stretch',
            W('QFrame', 'PrintWaitingRow', layout=(H, 0, 0), children=['stretch',
                W('ButtonGif', 'BtnGifPrintLoading', {'normalgiffile': ':/skins/loading.gif', 'minimumSize': ('size', 40, 40), 'maximumSize': ('size', 40, 40)}),
                'stretch']), 'stretch']),
        W('QWidget', 'PrintPage', layout=(V, 0, 0))])])
open(out + '/PrintWnd.ui', 'w').write(form(root, 'PrintWnd'))

# The preview's extraction dialog.
root = W('QFrame', 'PreviewProcessWnd', {'minimumSize': ('size', 430, 170)}, layout=(V, 0, 0), children=[
    W('QFrame', 'Caption', {'minimumSize': ('size', 0, 36), 'maximumSize': ('size', 16777215, 36)}, layout=(H, (14, 0, 6, 0), 6), children=[
        lbl('title', 'Preparing the preview'), 'stretch']),
    W('QFrame', 'Body', layout=(V, 20, 10), children=[
        lbl('LblFileName', ''), W('QProgressBar', 'Progress', {'value': 0, 'textVisible': False}), lbl('LblPercent', ''),
        'stretch', W('QFrame', 'Buttons', layout=(H, 0, 10), children=['stretch', btn('BtnCancel', 'Cancel')])])])
open(out + '/PreviewProcessWnd.ui', 'w').write(form(root, 'PreviewProcessWnd'))
