'''xdg-desktop-portal GlobalShortcuts mock template

The org.freedesktop.portal.GlobalShortcuts interface (version 1) of
org.freedesktop.portal.Desktop at /org/freedesktop/portal/desktop, as the
portal documents it: CreateSession, BindShortcuts and ListShortcuts return a
request object (at the path built from the caller's unique name and its
handle_token) that emits org.freedesktop.portal.Request.Response shortly
after the call returns; sessions are objects with
org.freedesktop.portal.Session.Close.

Parameters (JSON with python3 -m dbusmock -p):
  bind                  what BindShortcuts does:
                        "accept"      response 0, every shortcut bound to its
                                      preferred trigger (the default)
                        "refuse"      response 2 (the portal failed)
                        "cancel"      response 1 (the user cancelled)
                        "empty"       response 0 with no shortcuts (Plasma 5.27)
                        "no-triggers" response 0, the shortcuts without
                                      trigger_description
  session_handle_type   "o" (default) or "s": how CreateSession's Response
                        carries session_handle (xdg-desktop-portal 1.16 sends s)
  version               the "version" property (default 1)
  broken                true: every method fails with UnknownMethod

Test controls on org.freedesktop.DBus.Mock:
  SetBindMode(s)        changes "bind"
  Activate(s id)        emits Activated and then Deactivated for the shortcut
                        in the newest open session that binds it; false when
                        none does
  ActivateIn(o, s)      emits Activated for any session and id
  OpenSessions() -> ao  the sessions not closed, oldest first
  LastBind() -> as      the shortcuts of the last BindShortcuts, each
                        "id<TAB>description<TAB>preferred_trigger"
  BindCount() -> u      how many BindShortcuts calls came
'''

import time

import dbus
import dbus.service
from gi.repository import GLib

from dbusmock import MOCK_IFACE, mockobject

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'
SYSTEM_BUS = False

REQUEST_IFACE = 'org.freedesktop.portal.Request'
SESSION_IFACE = 'org.freedesktop.portal.Session'


def load(mock, parameters):
    mock.bind_mode = parameters.get('bind', 'accept')
    mock.session_handle_type = parameters.get('session_handle_type', 'o')
    mock.broken = bool(parameters.get('broken', False))
    mock.sessions = []  # open session paths, oldest first
    mock.bound = {}  # session path -> list of (id, properties)
    mock.last_bind = []
    mock.bind_count = 0
    mock.token_counter = 0
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary(
        {'version': dbus.UInt32(parameters.get('version', 1))}, signature='sv'))


def _sender_part(sender):
    return sender.lstrip(':').replace('.', '_')


def _check(mock):
    if mock.broken:
        raise dbus.exceptions.DBusException('No such interface',
                                            name='org.freedesktop.DBus.Error.UnknownMethod')


def _request(mock, sender, options, response, results):
    '''Creates the request object and emits its Response after the reply.'''
    mock.token_counter += 1
    token = str(options.get('handle_token', f'mock{mock.token_counter}'))
    path = f'/org/freedesktop/portal/desktop/request/{_sender_part(sender)}/{token}'
    if path in mockobject.objects:
        mock.RemoveObject(path)
    mock.AddObject(path, REQUEST_IFACE, {}, [('Close', '', '', '')])

    def respond():
        if path in mockobject.objects:
            mockobject.objects[path].EmitSignal(REQUEST_IFACE, 'Response', 'ua{sv}',
                                                [dbus.UInt32(response), results])
            mock.RemoveObject(path)
        return False

    GLib.timeout_add(20, respond)
    return dbus.ObjectPath(path)


def _session_closed(mock, path):
    if path in mock.sessions:
        mock.sessions.remove(path)
    mock.bound.pop(path, None)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender=None):
    _check(self)
    token = str(options.get('session_handle_token', f'session{len(self.sessions)}'))
    path = f'/org/freedesktop/portal/desktop/session/{_sender_part(sender)}/{token}'
    if path not in mockobject.objects:
        self.AddObject(path, SESSION_IFACE, {'version': dbus.UInt32(1)}, [('Close', '', '', '')])
    self.sessions.append(path)
    if self.session_handle_type == 's':
        handle = dbus.String(path, variant_level=1)
    else:
        handle = dbus.ObjectPath(path, variant_level=1)
    return _request(self, sender, options, 0,
                    dbus.Dictionary({'session_handle': handle}, signature='sv'))


@dbus.service.method(MAIN_IFACE, in_signature='oa(sa{sv})sa{sv}', out_signature='o',
                     sender_keyword='sender')
def BindShortcuts(self, session, shortcuts, parent_window, options, sender=None):
    _check(self)
    self.bind_count += 1
    self.last_bind = [(str(sid), dict(props)) for sid, props in shortcuts]
    mode = self.bind_mode
    results = dbus.Dictionary({}, signature='sv')
    response = 0
    if mode == 'refuse':
        response = 2
    elif mode == 'cancel':
        response = 1
    elif mode == 'empty':
        results['shortcuts'] = dbus.Array([], signature='(sa{sv})', variant_level=1)
    else:
        listed = []
        for sid, props in self.last_bind:
            out = {'description': dbus.String(props.get('description', ''), variant_level=1)}
            if mode != 'no-triggers':
                out['trigger_description'] = dbus.String(
                    str(props.get('preferred_trigger', '')), variant_level=1)
            listed.append(dbus.Struct((dbus.String(sid), dbus.Dictionary(out, signature='sv')),
                                      signature='sa{sv}'))
        results['shortcuts'] = dbus.Array(listed, signature='(sa{sv})', variant_level=1)
        if str(session) in self.sessions:
            self.bound[str(session)] = self.last_bind
    return _request(self, sender, options, response, results)


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}', out_signature='o', sender_keyword='sender')
def ListShortcuts(self, session, options, sender=None):
    _check(self)
    listed = [dbus.Struct((dbus.String(sid), dbus.Dictionary(
        {'description': dbus.String(props.get('description', ''), variant_level=1),
         'trigger_description': dbus.String(str(props.get('preferred_trigger', '')),
                                             variant_level=1)},
        signature='sv')), signature='sa{sv}') for sid, props in self.bound.get(str(session), [])]
    return _request(self, sender, options, 0, dbus.Dictionary(
        {'shortcuts': dbus.Array(listed, signature='(sa{sv})', variant_level=1)}, signature='sv'))


def _sync_closed(mock):
    '''Sessions whose Close was called are closed.'''
    for path in list(mock.sessions):
        session = mockobject.objects.get(path)
        if session is None:
            _session_closed(mock, path)
            continue
        if any(call[1] == 'Close' for call in session.call_log):
            _session_closed(mock, path)


def _emit_activated(mock, session, sid):
    now = dbus.UInt64(int(time.time() * 1000))
    mock.EmitSignal(MAIN_IFACE, 'Activated', 'osta{sv}',
                    [dbus.ObjectPath(session), sid, now, dbus.Dictionary({}, signature='sv')])
    mock.EmitSignal(MAIN_IFACE, 'Deactivated', 'osta{sv}',
                    [dbus.ObjectPath(session), sid, now, dbus.Dictionary({}, signature='sv')])


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def SetBindMode(self, mode):
    self.bind_mode = str(mode)


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='b')
def Activate(self, sid):
    _sync_closed(self)
    for session in reversed(self.sessions):
        if any(bound_id == sid for bound_id, _ in self.bound.get(session, [])):
            _emit_activated(self, session, sid)
            return True
    return False


@dbus.service.method(MOCK_IFACE, in_signature='os', out_signature='')
def ActivateIn(self, session, sid):
    _emit_activated(self, str(session), sid)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='ao')
def OpenSessions(self):
    _sync_closed(self)
    return dbus.Array([dbus.ObjectPath(p) for p in self.sessions], signature='o')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def LastBind(self):
    return dbus.Array([f"{sid}\t{props.get('description', '')}\t{props.get('preferred_trigger', '')}"
                       for sid, props in self.last_bind], signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='u')
def BindCount(self):
    return dbus.UInt32(self.bind_count)
