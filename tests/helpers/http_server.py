#!/usr/bin/env python3
"""Local HTTP (and HTTPS) server for the download tests and the benchmark.

    http_server.py start DIR   serve DIR/root in the background on 127.0.0.1
                               (free ports), wait until it listens, print the
                               ports; they are also in DIR/port as
                               "http=PORT" and "https=PORT" lines
    http_server.py stop DIR    end the server started for DIR
    http_server.py serve DIR   the same in the foreground

A request for /OPTIONS/NAME answers with the file DIR/root/NAME. OPTIONS is
"-" or a comma-separated list of:

    nolen          no Content-Length, a chunked body
    close          no Content-Length, the body ends when the connection does
    len0           Content-Length: 0 and no body (ranges are ignored)
    lm=SECONDS     Last-Modified (Unix time)
    etag=TAG       a strong ETag "TAG"
    status=CODE    the status of the answer (the body is still the file)
    slow=MS        the body in pieces of 1 KiB with a pause of MS between
    drop=PERCENT   answers (200 and 206) stop after PERCENT of their body
                   and the connection is cut
    drops=N        ... only the first N answers of this path with a body
    norange        Range requests get the whole file (200)
    bump=N         after N requests of this path the file changes: the body
                   of NAME.v2, Last-Modified one day later, ETag TAG-2
    only=FILE      the other options apply to FILE alone (the last part of
                   NAME); other files of the folder are answered plainly
    len=TEXT       Content-Length: TEXT whatever the body is (with nolen as
                   well as Transfer-Encoding: chunked); the connection ends
                   after the body

Range requests ("bytes=FROM-" or "bytes=FROM-TO") are answered with 206 unless norange is set
or If-Range names another version. Every request is logged before its body
goes out, one tab-separated line in DIR/requests.log:

    path  user-agent  range  if-range  status  body-bytes  cut|full

HTTPS (on its own port) uses DIR/tls/server.pem, made on start with openssl
and signed by the test authority DIR/tls/ca.pem, valid for 127.0.0.1 and
localhost; without openssl there is no https line.
"""
import email.utils
import http.server
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

SLOW_PIECE = 1024


class State:
    def __init__(self, folder):
        self.folder = folder
        self.root = os.path.join(folder, "root")
        self.lock = threading.Lock()
        self.requests = {}   # path -> requests so far
        self.bodies = {}     # path -> answers with a body (200, 206) so far
        self.log = open(os.path.join(folder, "requests.log"), "a", buffering=1)

    def count(self, table, path):
        with self.lock:
            table[path] = table.get(path, 0) + 1
            return table[path]

    def write_log(self, fields):
        with self.lock:
            self.log.write("\t".join(str(f) for f in fields) + "\n")
            self.log.flush()


def parse_options(text):
    options = {}
    if text in ("", "-"):
        return options
    for item in text.split(","):
        key, _, value = item.partition("=")
        options[key] = value
    return options


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VelTest/1"
    state = None

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(head=True)

    def do_GET(self):
        self.answer(head=False)

    def answer(self, head):
        try:
            self.respond(head)
        except (ConnectionError, ssl.SSLError, socket.timeout, OSError):
            self.close_connection = True

    def respond(self, head):
        st = self.state
        # Names are logged and looked up as the client meant them: "%20" is a blank.
        self.path = urllib.parse.unquote(self.path)
        parts = self.path.split("?", 1)[0].lstrip("/").split("/", 1)
        if len(parts) != 2:
            return self.plain(400, b"bad path")
        options, name = parse_options(parts[0]), parts[1]
        if "only" in options and name.rsplit("/", 1)[-1] != options["only"]:
            options = {}
        n = st.count(st.requests, self.path)
        version = 2 if "bump" in options and n > int(options["bump"]) else 1
        path = os.path.join(st.root, name + (".v2" if version == 2 else ""))
        if not os.path.isfile(path):
            return self.plain(404, b"no such file: " + name.encode())
        size = os.path.getsize(path)

        headers = []
        last_modified = etag = None
        if "lm" in options:
            stamp = int(options["lm"]) + (86400 if version == 2 else 0)
            last_modified = email.utils.formatdate(stamp, usegmt=True)
            headers.append(("Last-Modified", last_modified))
        if "etag" in options:
            etag = '"%s%s"' % (options["etag"], "-2" if version == 2 else "")
            headers.append(("ETag", etag))

        status = int(options.get("status", "200"))
        start = 0
        wanted = self.headers.get("Range", "")
        if_range = self.headers.get("If-Range", "")
        if (wanted.startswith("bytes=") and status == 200 and "norange" not in options
                and "len0" not in options):
            same_version = not if_range or if_range in (etag, last_modified)
            first, _, last = wanted[6:].partition("-")
            if same_version:
                start = int(first)
                end = min(int(last), size - 1) if last else size - 1
                if start >= size or end < start:
                    return self.plain(416, b"range not satisfiable")
                status = 206
                headers.append(("Content-Range", "bytes %d-%d/%d" % (start, end, size)))
                size = end + 1

        length = size - start
        if "len0" in options:
            length = 0
        cut = None
        if status in (200, 206) and "drop" in options and length > 0:
            bodies = st.count(st.bodies, self.path)
            if "drops" not in options or bodies <= int(options["drops"]):
                cut = length * int(options["drop"]) // 100
        chunked = "nolen" in options
        by_close = "close" in options
        sent = length if cut is None else cut
        st.write_log([self.path, self.headers.get("User-Agent", ""), wanted, if_range, status,
                      sent, "cut" if cut is not None else "full"])

        self.send_response(status)
        for key, value in headers:
            self.send_header(key, value)
        self.send_header("Content-Type", "application/octet-stream")
        if "len" in options:
            self.send_header("Content-Length", options["len"])
            self.close_connection = True
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif "len" in options:
            pass
        elif by_close:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        if head or length == 0:
            if chunked and not head:
                self.wfile.write(b"0\r\n\r\n")
            return
        self.body(path, start, sent, chunked, int(options.get("slow", "0")))
        if cut is not None:
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
        elif chunked:
            self.wfile.write(b"0\r\n\r\n")

    def body(self, path, start, count, chunked, slow_ms):
        with open(path, "rb") as f:
            if not chunked and not slow_ms and not isinstance(self.connection, ssl.SSLSocket):
                self.connection.sendfile(f, start, count)
                return
            f.seek(start)
            piece = SLOW_PIECE if slow_ms else 1 << 16
            while count > 0:
                data = f.read(min(piece, count))
                if not data:
                    break
                count -= len(data)
                if chunked:
                    self.wfile.write(b"%x\r\n" % len(data) + data + b"\r\n")
                else:
                    self.wfile.write(data)
                if slow_ms:
                    time.sleep(slow_ms / 1000.0)

    def plain(self, status, text):
        self.state.write_log([self.path, self.headers.get("User-Agent", ""), self.headers.get("Range", ""),
                              self.headers.get("If-Range", ""), status, len(text), "full"])
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(text)))
        self.end_headers()
        self.wfile.write(text)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64


def make_certificates(folder):
    """A test authority and a server certificate it signs; False without openssl."""
    tls = os.path.join(folder, "tls")
    server = os.path.join(tls, "server.pem")
    if os.path.isfile(server):
        return True
    os.makedirs(tls, exist_ok=True)
    ext = os.path.join(tls, "server.ext")
    with open(ext, "w") as f:
        f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n")

    def run(*args):
        subprocess.run(["openssl", *args], cwd=tls, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    try:
        run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-keyout", "ca.key",
            "-out", "ca.pem", "-subj", "/CN=Velmora Test Authority",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        run("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=127.0.0.1")
        run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "3650", "-sha256", "-extfile", "server.ext", "-out", "server.crt")
        with open(server, "w") as out:
            for part in ("server.crt", "server.key"):
                out.write(open(os.path.join(tls, part)).read())
        run("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
        return True
    except (OSError, subprocess.CalledProcessError):
        return False


def serve(folder):
    folder = os.path.abspath(folder)
    os.makedirs(os.path.join(folder, "root"), exist_ok=True)
    Handler.state = State(folder)
    servers = [("http", Server(("127.0.0.1", 0), Handler))]
    if make_certificates(folder):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(folder, "tls", "server.pem"))
        tls = Server(("127.0.0.1", 0), Handler)
        tls.socket = context.wrap_socket(tls.socket, server_side=True)
        servers.append(("https", tls))
    lines = "".join("%s=%d\n" % (name, s.server_address[1]) for name, s in servers)
    with open(os.path.join(folder, "port.tmp"), "w") as f:
        f.write(lines)
    os.replace(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
    with open(os.path.join(folder, "server.pid"), "w") as f:
        f.write(str(os.getpid()))
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    for _, s in servers[1:]:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    servers[0][1].serve_forever()


def running(pid):
    """Alive and not a zombie (nobody may reap the detached server)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def stop(folder):
    pid_file = os.path.join(folder, "server.pid")
    try:
        pid = int(open(pid_file).read())
        os.kill(pid, signal.SIGTERM)
        for _ in range(50):
            if not running(pid):
                break
            time.sleep(0.1)
    except (OSError, ValueError):
        pass
    for name in ("server.pid", "port"):
        try:
            os.remove(os.path.join(folder, name))
        except OSError:
            pass


def start(folder):
    folder = os.path.abspath(folder)
    stop(folder)
    os.makedirs(folder, exist_ok=True)
    shutil.rmtree(os.path.join(folder, "root"), ignore_errors=True)
    try:
        os.remove(os.path.join(folder, "requests.log"))
    except OSError:
        pass
    log = open(os.path.join(folder, "server.out"), "w")
    subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", folder],
                     stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    port = os.path.join(folder, "port")
    for _ in range(200):
        if os.path.isfile(port):
            sys.stdout.write(open(port).read())
            return 0
        time.sleep(0.05)
    sys.stderr.write("http_server: did not start, see %s\n" % log.name)
    return 1


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop", "serve"):
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit({"start": start, "stop": lambda d: stop(d) or 0, "serve": serve}[sys.argv[1]](sys.argv[2]))
