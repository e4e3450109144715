// The main window's menus: the video area's context menu (the maximised
// interface, zoom, scaling and the place of the media information text)
// and the window menu of the program's own, opened on the window's frame.
#include <QContextMenuEvent>

#include "app/orlenta_dlg.h"
#include "app/resource.h"

namespace {

struct MenuItem {
  int id;
  const char* text;
};

constexpr MenuItem kZoomItems[] = {{ID_MENU_ZOOM_1_4, "1:4 Quarter"},
                                   {ID_MENU_ZOOM_1_2, "1:2 Half"},
                                   {ID_MENU_ZOOM_1_1, "1:1 Original"},
                                   {ID_MENU_ZOOM_2_1, "2:1 Double"}};

// In menu order, which is the order of the positions 0..4.
constexpr int kInfoItems[] = {ID_MENU_INFO_NONE, ID_MENU_INFO_LEFT_TOP, ID_MENU_INFO_RIGHT_TOP,
                              ID_MENU_INFO_LEFT_BOTTOM, ID_MENU_INFO_RIGHT_BOTTOM};

int ZoomCommandOfLevel(int level) {
  switch (level) {
    case 1: return ID_MENU_ZOOM_1_4;
    case 2: return ID_MENU_ZOOM_1_2;
    case 3: return ID_MENU_ZOOM_2_1;
    default: return ID_MENU_ZOOM_1_1;
  }
}

}  // namespace

void COrlentaDlg::BuildMenus() {
  auto add = [this](QMenu* menu, int id, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, id] { OnMenuCommand(id); });
  };
  m_contextMenu = new QMenu(this);
  m_zoomMenu = new QMenu(QStringLiteral("Zoom"), this);
  m_infoMenu = new QMenu(QStringLiteral("Show Media Information"), this);

  add(m_contextMenu, ID_MENU_MAXIMIZE, QStringLiteral("Maximize Interface"));
  m_contextMenu->addSeparator();
  m_contextMenu->addMenu(m_zoomMenu);
  add(m_contextMenu, ID_MENU_SCALE, QStringLiteral("Scale"));
  m_contextMenu->addSeparator();
  m_contextMenu->addMenu(m_infoMenu);

  for (const MenuItem& item : kZoomItems) add(m_zoomMenu, item.id, QString::fromLatin1(item.text));

  add(m_infoMenu, ID_MENU_INFO_NONE, QStringLiteral("None"));
  m_infoMenu->addSeparator();
  add(m_infoMenu, ID_MENU_INFO_LEFT_TOP, QStringLiteral("Left-Top"));
  add(m_infoMenu, ID_MENU_INFO_RIGHT_TOP, QStringLiteral("Right-Top"));
  add(m_infoMenu, ID_MENU_INFO_LEFT_BOTTOM, QStringLiteral("Left-Bottom"));
  add(m_infoMenu, ID_MENU_INFO_RIGHT_BOTTOM, QStringLiteral("Right-Bottom"));

  // The window manager's menu is not ours to extend; the about box gets a
  // menu of the program's own.
  m_frameMenu = new QMenu(this);
  QAction* about = m_frameMenu->addAction(QStringLiteral("&About Orlenta..."));
  about->setData(IDM_ABOUTBOX);
  connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
}

QAction* COrlentaDlg::MenuAction(int id) const {
  for (QMenu* menu : {m_contextMenu, m_zoomMenu, m_infoMenu, m_frameMenu}) {
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator() && !action->menu() && action->data().toInt() == id) return action;
    }
  }
  return nullptr;
}

void COrlentaDlg::ShowContextMenu(const QPoint& screenPosition) {
  MenuAction(ID_MENU_MAXIMIZE)->setChecked(m_windowState == SC_MAXIMIZE);
  QAction* zoom = m_zoomMenu->menuAction();
  QAction* scale = MenuAction(ID_MENU_SCALE);
  QAction* info = m_infoMenu->menuAction();
  if (m_playing) {
    if (m_videoContainer->IsSquareSource() || m_windowState == SC_MAXIMIZE) {
      zoom->setEnabled(false);
    } else {
      zoom->setEnabled(true);
      const int checked = ZoomCommandOfLevel(m_zoomLevel);
      for (const MenuItem& item : kZoomItems) MenuAction(item.id)->setChecked(item.id == checked);
    }
    scale->setEnabled(true);
    scale->setChecked(m_videoContainer->IsScaleOn());
    info->setEnabled(true);
    for (int position = 0; position < 5; ++position)
      MenuAction(kInfoItems[position])->setChecked(position == m_infoPosition);
  } else {
    scale->setEnabled(false);
    zoom->setEnabled(false);
    info->setEnabled(false);
  }
  m_contextMenu->popup(screenPosition);
}

void COrlentaDlg::OnMenuCommand(int id) {
  switch (id) {
    case ID_MENU_SCALE:
      OnScale();
      break;
    case ID_MENU_ZOOM_1_4:
    case ID_MENU_ZOOM_1_2:
    case ID_MENU_ZOOM_1_1:
    case ID_MENU_ZOOM_2_1:
      SetZoom(id);
      break;
    case ID_MENU_MAXIMIZE:
      ToggleMaximize();
      break;
    case ID_MENU_INFO_NONE:
    case ID_MENU_INFO_LEFT_TOP:
    case ID_MENU_INFO_RIGHT_TOP:
    case ID_MENU_INFO_LEFT_BOTTOM:
    case ID_MENU_INFO_RIGHT_BOTTOM:
      SetInfoPosition(id - ID_MENU_INFO_NONE);
      break;
    default:
      break;
  }
}

void COrlentaDlg::OnScale() {
  const bool on = !m_videoContainer->IsScaleOn();
  MenuAction(ID_MENU_SCALE)->setChecked(on);
  m_videoContainer->SetScale(on);
}

void COrlentaDlg::SetZoom(int commandId) {
  switch (commandId) {
    case ID_MENU_ZOOM_1_4: m_zoomLevel = 1; break;
    case ID_MENU_ZOOM_1_2: m_zoomLevel = 2; break;
    case ID_MENU_ZOOM_2_1: m_zoomLevel = 3; break;
    default: m_zoomLevel = 0; break;
  }
  switch (m_zoomLevel) {
    case 1: ResizeWindow(m_videoWidth / 4, m_videoHeight / 4); break;
    case 2: ResizeWindow(m_videoWidth / 2, m_videoHeight / 2); break;
    case 3: ResizeWindow(m_videoWidth * 2, m_videoHeight * 2); break;
    default: ResizeWindow(m_videoWidth, m_videoHeight); break;
  }
}

void COrlentaDlg::ToggleMaximize() {
  OnSysCommand(m_windowState == SC_MAXIMIZE ? SC_RESTORE : SC_MAXIMIZE);
}

void COrlentaDlg::SetInfoPosition(int position) {
  m_videoContainer->SetOsdPosition(position);
  m_infoPosition = position;
}

// A right click on the window itself, outside the video area and the
// controls, opens the window menu.
void COrlentaDlg::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Mouse && !childAt(event->pos())) {
    m_frameMenu->popup(event->globalPos());
    event->accept();
    return;
  }
  event->ignore();
}
