'''StatusNotifierWatcher mock template

The org.kde.StatusNotifierWatcher of a tray host (as Plasma, waybar or the
AppIndicator extension of GNOME run it) at /StatusNotifierWatcher: items
register with RegisterStatusNotifierItem, hosts with
RegisterStatusNotifierHost. An item registered by bus name lives at
/StatusNotifierItem of that name, one registered by object path at that path of
its sender.

Parameters (JSON with python3 -m dbusmock -p):
  host_registered   IsStatusNotifierHostRegistered (default true)

Test controls on org.freedesktop.DBus.Mock:
  Items() -> as     the registered items, "busname/path", oldest first
'''

import dbus
import dbus.service

from dbusmock import MOCK_IFACE

BUS_NAME = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.items = []
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
        'IsStatusNotifierHostRegistered': dbus.Boolean(parameters.get('host_registered', True)),
        'ProtocolVersion': dbus.Int32(0),
    }, signature='sv'))


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='', sender_keyword='sender')
def RegisterStatusNotifierItem(self, service, sender=None):
    if service.startswith('/'):
        item = f'{sender}{service}'
    else:
        item = f'{service}/StatusNotifierItem'
    if item not in self.items:
        self.items.append(item)
    self.UpdateProperties(MAIN_IFACE, {
        'RegisteredStatusNotifierItems': dbus.Array(self.items, signature='s')})
    self.EmitSignal(MAIN_IFACE, 'StatusNotifierItemRegistered', 's', [item])


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='')
def RegisterStatusNotifierHost(self, _service):
    self.UpdateProperties(MAIN_IFACE, {'IsStatusNotifierHostRegistered': dbus.Boolean(True)})
    self.EmitSignal(MAIN_IFACE, 'StatusNotifierHostRegistered', '', [])


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def Items(self):
    return dbus.Array(self.items, signature='s')
