#!/usr/bin/env python3
"""Stand-in for the vendor's download server, for tests, the demo and benchmarks.

Everything lives in one state folder:
  prepare STATE [--host H] [--basic-exe EXE]   test CAs, certificates, packages
  start STATE                                  HTTPS server + CONNECT proxy on 127.0.0.1
  stop STATE                                   ends what `start` started
  mode STATE MODE                              how the server answers from now on
  env STATE                                    shell lines: http_proxy=..., ports

Modes (read for every connection/request):
  normal        files under STATE/www
  404 / 500     that status for every request
  reset         half the body, then a TCP reset
  short         half the body, then a clean close (Content-Length says more)
  nolength      no Content-Length; the body ends when the connection closes
  slow[:N[:S]]  N bytes (default 512) every S seconds (default 0.5)
  wronghost     certificate for another host, signed by the trusted test CA
  untrusted     certificate for the right host from a CA nobody trusts
Modes combine with commas, e.g. "nolength,slow:2048:0.2".

Requests are logged to STATE/requests.log, one line each: method, path, user agent.
"""
import argparse
import http.server
import os
import select
import shutil
import signal
import socket
import socketserver
import ssl
import struct
import subprocess
import sys
import threading
import time
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGES = {
    # served name: (kind, architecture)
    "VTCClient.msi": ("msi", "x86"),
    "VTCClient-x64.msi": ("msi", "x64"),
    "VTCClient-ARM64.msi": ("msi", "arm64"),
    "VTCClient_Basic.exe": ("exe", "x86"),
    "VTCClient_Basic-x64.exe": ("exe", "x64"),
    "VTCClient_Basic-ARM64.exe": ("exe", "arm64"),
}
OTHER_HOST = "other.corvantis.test"


def run(cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, **kw)


# ---------------------------------------------------------------- certificates

def make_ca(folder, name, subject):
    key, pem = os.path.join(folder, name + ".key"), os.path.join(folder, name + ".pem")
    if os.path.exists(pem):
        return key, pem
    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "30",
         "-keyout", key, "-out", pem, "-subj", subject,
         "-addext", "basicConstraints=critical,CA:TRUE",
         "-addext", "keyUsage=critical,keyCertSign,cRLSign"])
    run(["openssl", "x509", "-in", pem, "-outform", "DER", "-out",
         os.path.join(folder, name + ".der")])
    return key, pem


def make_server_cert(folder, name, host, ca_key, ca_pem):
    key, pem = os.path.join(folder, name + ".key"), os.path.join(folder, name + ".pem")
    if os.path.exists(pem):
        return
    csr = os.path.join(folder, name + ".csr")
    ext = os.path.join(folder, name + ".ext")
    run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr,
         "-subj", "/CN=" + host])
    with open(ext, "w") as f:
        f.write("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n" % host)
    run(["openssl", "x509", "-req", "-in", csr, "-CA", ca_pem, "-CAkey", ca_key,
         "-CAcreateserial", "-days", "30", "-sha256", "-extfile", ext, "-out", pem])
    # The server presents the chain: leaf then issuer.
    with open(pem, "a") as out, open(ca_pem) as ca:
        out.write(ca.read())


def prepare_certificates(state, host):
    pki = os.path.join(state, "pki")
    os.makedirs(pki, exist_ok=True)
    ca_key, ca_pem = make_ca(pki, "ca", "/CN=Tarnwick Test Root CA")
    rogue_key, rogue_pem = make_ca(pki, "rogue-ca", "/CN=Untrusted Test CA")
    make_server_cert(pki, "vendor", host, ca_key, ca_pem)
    make_server_cert(pki, "otherhost", OTHER_HOST, ca_key, ca_pem)
    make_server_cert(pki, "untrusted", host, rogue_key, rogue_pem)


# ---------------------------------------------------------------- packages

WXS = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Corvantis VTC Client (stand-in $(var.Arch))" Language="1033"
           Version="20.0.0.0" Manufacturer="Corvantis" UpgradeCode="$(var.UpgradeCode)">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="client.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="$(var.ProgramFiles)">
        <Directory Id="CorvantisDir" Name="Corvantis">
          <Directory Id="INSTALLDIR" Name="VTC Client">
            <Component Id="Marker" Guid="$(var.ComponentGuid)" Win64="$(var.Win64)">
              <File Id="MarkerFile" Name="vtcclient-$(var.Arch).marker"
                    Source="$(var.MarkerSource)" KeyPath="yes"/>
            </Component>
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Client" Level="1"><ComponentRef Id="Marker"/></Feature>
  </Product>
</Wix>
"""


def build_msi(work, target, arch):
    """An MSI that installs "<ProgramFiles>\\Corvantis\\VTC Client\\vtcclient-<arch>.marker"."""
    wxs = os.path.join(work, "client.wxs")
    with open(wxs, "w") as f:
        f.write(WXS)
    marker = os.path.join(work, "marker-%s.txt" % arch)
    with open(marker, "w") as f:
        f.write("Corvantis VTC Client stand-in, %s\n" % arch)
    # wixl knows x86 and x64 only: the ARM64 package is an x64 one whose summary
    # information names the Arm64 platform.
    wixl_arch = "x86" if arch == "x86" else "x64"
    program_files = "ProgramFilesFolder" if arch == "x86" else "ProgramFiles64Folder"
    run(["wixl", "-a", wixl_arch, "-D", "Arch=" + arch, "-D", "ProgramFiles=" + program_files,
         "-D", "Win64=" + ("no" if arch == "x86" else "yes"),
         "-D", "UpgradeCode=" + str(uuid.uuid5(uuid.NAMESPACE_DNS, "upgrade." + arch + ".vtc")),
         "-D", "ComponentGuid=" + str(uuid.uuid5(uuid.NAMESPACE_DNS, "marker." + arch + ".vtc")),
         "-D", "MarkerSource=" + os.path.basename(marker), "-o", os.path.abspath(target),
         "client.wxs"], cwd=work)
    if arch == "arm64":
        run(["msibuild", target, "-s", "Corvantis VTC Client (stand-in arm64)", "Corvantis",
             "Arm64;1033", "{%s}" % str(uuid.uuid4()).upper()])


def prepare_packages(state, basic_exe):
    folder = os.path.join(state, "www", "vtc", "v20")
    work = os.path.join(state, "work")
    os.makedirs(folder, exist_ok=True)
    os.makedirs(work, exist_ok=True)
    for name, (kind, arch) in PACKAGES.items():
        target = os.path.join(folder, name)
        if kind == "msi":
            if not os.path.exists(target):
                build_msi(work, target, arch)
        elif basic_exe:
            # One stand-in executable under every Basic name; it names its marker
            # after its own file name, so each download is told apart.
            shutil.copyfile(basic_exe, target)


def make_blob(path, megabytes):
    """A large package for the benchmarks (content irrelevant, not compressible)."""
    if os.path.exists(path) and os.path.getsize(path) == megabytes << 20:
        return
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        chunk = os.urandom(1 << 20)
        for _ in range(megabytes):
            f.write(chunk)


# ---------------------------------------------------------------- server

def read_mode(state):
    """The current modes as a list, e.g. ["nolength", "slow:2048:0.2"]."""
    try:
        with open(os.path.join(state, "mode")) as f:
            return [m for m in f.read().strip().split(",") if m] or ["normal"]
    except OSError:
        return ["normal"]


def find_mode(modes, name):
    """The first mode named `name` (with its ":" arguments), or None."""
    for mode in modes:
        if mode.split(":")[0] == name:
            return mode
    return None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "StandIn/1.0"

    def setup(self):
        # TLS is set up here, in the connection's own thread, with the certificate
        # the current mode asks for.
        state = self.server.state
        modes = read_mode(state)
        cert = "otherhost" if find_mode(modes, "wronghost") else \
            "untrusted" if find_mode(modes, "untrusted") else "vendor"
        context = self.server.contexts[cert]
        self.request.settimeout(60)
        try:
            self.request = context.wrap_socket(self.request, server_side=True)
        except (ssl.SSLError, OSError):
            self.request.close()
            self.handshake_failed = True
        else:
            self.handshake_failed = False
        super().setup()

    def handle(self):
        if not self.handshake_failed:
            try:
                super().handle()
            except (ssl.SSLError, OSError):
                pass

    def log_message(self, fmt, *args):
        pass

    def log_request_line(self):
        with self.server.log_lock, open(os.path.join(self.server.state, "requests.log"), "a") as f:
            f.write("%s %s %s\n" % (self.command, self.path, self.headers.get("User-Agent", "")))

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        self.log_request_line()
        modes = read_mode(self.server.state)
        for status in ("404", "500"):
            if find_mode(modes, status):
                self.send_error(int(status))
                return
        path = os.path.normpath(os.path.join(self.server.root, self.path.split("?")[0].lstrip("/")))
        if not path.startswith(self.server.root + os.sep) or not os.path.isfile(path):
            self.send_error(404)
            return
        size = os.path.getsize(path)
        no_length = find_mode(modes, "nolength")
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if no_length:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(size))
        self.end_headers()
        if self.command == "HEAD":
            return
        cut = find_mode(modes, "reset") or find_mode(modes, "short")
        slow = find_mode(modes, "slow")
        with open(path, "rb") as f:
            if cut:
                self.wfile.write(f.read(max(1, size // 2)))
                self.wfile.flush()
                self.end_early(abort=(cut == "reset"))
                return
            if slow:
                self.trickle(f, slow)
            else:
                shutil.copyfileobj(f, self.wfile, 256 * 1024)
            if no_length:
                self.wfile.flush()
                self.end_early(abort=False)

    def trickle(self, f, mode):
        parts = mode.split(":")
        step = int(parts[1]) if len(parts) > 1 else 512
        pause = float(parts[2]) if len(parts) > 2 else 0.5
        while True:
            block = f.read(step)
            if not block:
                break
            self.wfile.write(block)
            self.wfile.flush()
            time.sleep(pause)

    def end_early(self, abort):
        self.close_connection = True
        raw = self.request
        if abort:
            time.sleep(0.3)  # let the first half reach the client before the reset
            raw.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        else:
            # An orderly TCP close (no TLS alert): only the length tells the body was cut.
            try:
                raw.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        raw.close()


class HttpsServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, state):
        self.state = state
        self.root = os.path.realpath(os.path.join(state, "www"))
        self.log_lock = threading.Lock()
        self.contexts = {}
        for name in ("vendor", "otherhost", "untrusted"):
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            pem = os.path.join(state, "pki", name + ".pem")
            ctx.load_cert_chain(pem, os.path.join(state, "pki", name + ".key"))
            self.contexts[name] = ctx
        super().__init__(("127.0.0.1", 0), Handler)

    def shutdown_request(self, request):
        try:
            request.close()
        except OSError:
            pass


class ProxyHandler(socketserver.BaseRequestHandler):
    """Tunnels CONNECT to the HTTPS server, whatever host the client names."""

    def handle(self):
        client = self.request
        head = b""
        while b"\r\n\r\n" not in head:
            data = client.recv(4096)
            if not data:
                return
            head += data
            if len(head) > 65536:
                return
        line = head.split(b"\r\n", 1)[0].decode("latin-1")
        parts = line.split()
        with open(os.path.join(self.server.state, "proxy.log"), "a") as f:
            f.write(line + "\n")
        if len(parts) < 2 or parts[0].upper() != "CONNECT":
            client.sendall(b"HTTP/1.1 501 Not Implemented\r\nContent-Length: 0\r\n\r\n")
            return
        upstream = socket.create_connection(("127.0.0.1", self.server.https_port))
        client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        rest = head.split(b"\r\n\r\n", 1)[1]
        if rest:
            upstream.sendall(rest)
        self.relay(client, upstream)

    @staticmethod
    def relay(client, upstream):
        peers = {client: upstream, upstream: client}
        open_ends = [client, upstream]
        try:
            while open_ends:
                readable, _, _ = select.select(open_ends, [], [], 120)
                if not readable:
                    break
                for sock in readable:
                    try:
                        data = sock.recv(262144)
                    except ConnectionResetError:
                        # Pass a reset on as a reset, so the client sees what the
                        # server did.
                        other = peers[sock]
                        other.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                         struct.pack("ii", 1, 0))
                        return
                    if data:
                        peers[sock].sendall(data)
                    else:
                        try:
                            peers[sock].shutdown(socket.SHUT_WR)
                        except OSError:
                            pass
                        open_ends.remove(sock)
        finally:
            upstream.close()
            client.close()


class ProxyServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, state, https_port):
        self.state = state
        self.https_port = https_port
        super().__init__(("127.0.0.1", 0), ProxyHandler)


def serve(state):
    https = HttpsServer(state)
    proxy = ProxyServer(state, https.server_address[1])
    threading.Thread(target=https.serve_forever, daemon=True).start()
    threading.Thread(target=proxy.serve_forever, daemon=True).start()
    ports = os.path.join(state, "ports")
    with open(ports + ".tmp", "w") as f:
        f.write("%d %d\n" % (https.server_address[1], proxy.server_address[1]))
    os.replace(ports + ".tmp", ports)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    proxy.shutdown()
    https.shutdown()


# ---------------------------------------------------------------- commands

def cmd_prepare(args):
    os.makedirs(args.state, exist_ok=True)
    prepare_certificates(args.state, args.host)
    prepare_packages(args.state, args.basic_exe)
    for megabytes in args.blob or []:
        make_blob(os.path.join(args.state, "www", "bench", "blob-%d.bin" % megabytes), megabytes)


def read_ports(state):
    with open(os.path.join(state, "ports")) as f:
        https_port, proxy_port = f.read().split()
    return int(https_port), int(proxy_port)


def pid_alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def cmd_start(args):
    cmd_stop(args)
    for name in ("ports", "requests.log", "proxy.log", "mode"):
        try:
            os.remove(os.path.join(args.state, name))
        except OSError:
            pass
    log = open(os.path.join(args.state, "server.log"), "w")
    proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", args.state],
                            stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                            start_new_session=True)
    with open(os.path.join(args.state, "standin.pid"), "w") as f:
        f.write(str(proc.pid))
    for _ in range(200):
        if os.path.exists(os.path.join(args.state, "ports")):
            break
        if proc.poll() is not None:
            sys.exit("standin: server failed to start, see %s/server.log" % args.state)
        time.sleep(0.05)
    else:
        cmd_stop(args)
        sys.exit("standin: server did not start")
    print_env(args.state)


def cmd_stop(args):
    pidfile = os.path.join(args.state, "standin.pid")
    try:
        with open(pidfile) as f:
            pid = int(f.read())
    except (OSError, ValueError):
        return
    if pid_alive(pid):
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            try:
                if os.waitpid(pid, os.WNOHANG)[0] == pid:
                    break
            except ChildProcessError:
                if not pid_alive(pid):
                    break
            time.sleep(0.05)
        else:
            os.kill(pid, signal.SIGKILL)
    os.remove(pidfile)


def print_env(state):
    https_port, proxy_port = read_ports(state)
    print("export http_proxy=http://127.0.0.1:%d" % proxy_port)
    print("export STANDIN_HTTPS_PORT=%d STANDIN_PROXY_PORT=%d" % (https_port, proxy_port))


def cmd_mode(args):
    with open(os.path.join(args.state, "mode"), "w") as f:
        f.write(args.mode + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("prepare")
    p.add_argument("state")
    p.add_argument("--host", default="download.corvantis.com")
    p.add_argument("--basic-exe")
    p.add_argument("--blob", type=int, action="append", help="also make bench/blob-<MB>.bin")
    p.set_defaults(func=cmd_prepare)
    for name, func in (("start", cmd_start), ("stop", cmd_stop)):
        p = sub.add_parser(name)
        p.add_argument("state")
        p.set_defaults(func=func)
    p = sub.add_parser("serve")
    p.add_argument("state")
    p.set_defaults(func=lambda a: serve(a.state))
    p = sub.add_parser("mode")
    p.add_argument("state")
    p.add_argument("mode")
    p.set_defaults(func=cmd_mode)
    p = sub.add_parser("env")
    p.add_argument("state")
    p.set_defaults(func=lambda a: print_env(a.state))
    args = parser.parse_args()
    args.state = os.path.abspath(args.state)
    args.func(args)


if __name__ == "__main__":
    main()
