'''A notification-area host for the wayland tests: python3-dbusmock loads this
as a template (python3 -m dbusmock --template <this file>).

Qt counts a system tray as available while org.kde.StatusNotifierWatcher is on
the session bus, and then sends its balloons to org.freedesktop.Notifications.
The watcher here takes the registrations a tray icon makes and says that a host
shows them; the calls land in dbusmock's log like any other.
'''

import dbus

SYSTEM_BUS = False
BUS_NAME = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
MAIN_IFACE = 'org.kde.StatusNotifierWatcher'


def load(mock, _parameters):
    # The watcher lists every item as it registered itself (Qt's icons give
    # their connection's bus name) and tells hosts about it.
    mock.AddMethods(MAIN_IFACE, [
        ('RegisterStatusNotifierItem', 's', '', '''iface = 'org.kde.StatusNotifierWatcher'
items = list(self.Get(iface, 'RegisteredStatusNotifierItems'))
if args[0] not in items:
    items.append(args[0])
    self.Set(iface, 'RegisteredStatusNotifierItems', dbus.Array(items, signature='s'))
self.EmitSignal(iface, 'StatusNotifierItemRegistered', 's', [args[0]])
'''),
        ('RegisterStatusNotifierHost', 's', '', ''),
    ])
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
        'IsStatusNotifierHostRegistered': True,
        'ProtocolVersion': dbus.Int32(0),
    }, signature='sv'))
