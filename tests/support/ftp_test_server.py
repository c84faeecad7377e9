"""A real FTP server on loopback for Tunelift's tests (Debian's pyftpdlib).

It serves one account, DeckHopper / MovingTracks, with full rights on the receive folder,
listens on 127.0.0.1 at a port the system chooses, and prints "PORT <number>" on standard
output once it accepts connections. It runs until it is terminated.

Options:
  --root DIR          the receive folder (must exist)
  --log FILE          append one line per command received ("CONNECT" for each new control
                      connection; the argument of PASS is never written)
  --tls-dir DIR       offer explicit TLS (AUTH TLS) with a self-signed certificate, written as
                      DIR/cert.pem, for the name given by --tls-host
  --tls-host NAME     the host name the certificate is made for (default: localhost)
  --keep-ascii-bytes  store ASCII-mode uploads exactly as they came off the wire, so that a
                      test can see the line ends the client sent
  --refuse-prot-p     with --tls-dir: accept AUTH TLS but refuse PROT P, so files travel in
                      clear over data connections while the commands are encrypted
  --banner TEXT       greet with "220 TEXT"; its bytes go out as given, whatever they are
  --refuse LINE       answer the command LINE (as sent, "STOR b.mp3") with 550
  --refuse-text TEXT  the words after "550 " for --refuse (default: Refused by the test server.)
  --hang-up-at LINE   close the control connection, without a reply, on the command LINE
  --drop-after BYTES  the first upload (STOR or APPE, on any connection) to receive BYTES bytes:
                      close its data connection and its control connection at once, without a
                      reply; the file keeps exactly those BYTES. Once per server run
  --reset-data-after BYTES
                      the first upload (STOR or APPE) to receive BYTES bytes: close its data
                      connection and answer "426 Connection closed; transfer aborted." on the
                      control connection, which stays up; the file keeps exactly those BYTES.
                      Once per server run
  --keep-half         cut every completed upload to half its bytes (rounded down) before the
                      226 reply goes; what the file held before (APPE, REST) stays
  --refuse-rest       answer REST with "502 Command not implemented." and leave "REST STREAM"
                      out of FEAT (without it REST STREAM is offered, and REST before STOR works)
  --no-size           answer SIZE with "502 Command not implemented." and leave SIZE out of FEAT
  --read-limit BYTES_PER_SECOND
                      receive uploads no faster than this (pyftpdlib's ThrottledDTPHandler,
                      which lets the first second's worth through at once). With --tls-dir,
                      pyftpdlib takes a data connection the client resets for one it ended,
                      and curl over TLS 1.3 at times resets one it has sent whole: throttled,
                      that can leave a short file behind a 226, so slow sends whose bytes
                      matter belong on plain FTP
  --max-connections-per-ip COUNT
                      take at most COUNT control connections from one address at once; one
                      more is answered "421 Too many connections from the same IP address."
                      and closed (pyftpdlib's own limit)
  --reply-delay MILLISECONDS
                      hold every reply back this long before it goes, as a distant server's
                      would arrive; the server goes on serving the other connections meanwhile

Uploads count their bytes as they come off the wire, per data connection, from its start.
"""

import argparse
import collections
import datetime
import logging
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler, asynchat
from pyftpdlib.log import logger
from pyftpdlib.servers import FTPServer

USER = "DeckHopper"
PASSWORD = "MovingTracks"
NOT_IMPLEMENTED = "502 Command not implemented."
UPLOADS = ("STOR", "APPE")


def byte_count(text):
    value = int(text)
    if value < 0:
        raise argparse.ArgumentTypeError("must be 0 or more: %s" % text)
    return value


def parse_arguments():
    parser = argparse.ArgumentParser(description="FTP server for Tunelift's tests")
    parser.add_argument("--root", required=True)
    parser.add_argument("--log")
    parser.add_argument("--tls-dir")
    parser.add_argument("--tls-host", default="localhost")
    parser.add_argument("--keep-ascii-bytes", action="store_true")
    parser.add_argument("--refuse-prot-p", action="store_true")
    parser.add_argument("--banner")
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--refuse-text", default="Refused by the test server.")
    parser.add_argument("--hang-up-at", action="append", default=[])
    parser.add_argument("--drop-after", type=byte_count, default=0, metavar="BYTES")
    parser.add_argument("--reset-data-after", type=byte_count, default=0, metavar="BYTES")
    parser.add_argument("--keep-half", action="store_true")
    parser.add_argument("--refuse-rest", action="store_true")
    parser.add_argument("--no-size", action="store_true")
    parser.add_argument("--read-limit", type=byte_count, default=0, metavar="BYTES_PER_SECOND")
    parser.add_argument("--max-connections-per-ip", type=byte_count, default=0, metavar="COUNT")
    parser.add_argument("--reply-delay", type=byte_count, default=0, metavar="MILLISECONDS")
    parser.add_argument("--close-connections-after", type=byte_count, default=0, metavar="COUNT")
    parser.add_argument("--refuse-logins-after", type=byte_count, default=0, metavar="COUNT")
    return parser.parse_args()


def write_self_signed_certificate(folder, host):
    """Writes key and certificate into one PEM file and returns its path."""
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import rsa
    from cryptography.x509.oid import NameOID

    key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, host)])
    now = datetime.datetime.now(datetime.timezone.utc)
    certificate = (
        x509.CertificateBuilder()
        .subject_name(name)
        .issuer_name(name)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(minutes=5))
        .not_valid_after(now + datetime.timedelta(days=1))
        .add_extension(x509.SubjectAlternativeName([x509.DNSName(host)]), critical=False)
        .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
        .sign(key, hashes.SHA256())
    )
    path = os.path.join(folder, "cert.pem")
    with open(path, "wb") as pem:
        pem.write(key.private_bytes(serialization.Encoding.PEM,
                                    serialization.PrivateFormat.TraditionalOpenSSL,
                                    serialization.NoEncryption()))
        pem.write(certificate.public_bytes(serialization.Encoding.PEM))
    return path


def unimplemented_commands(options):
    """The commands the server answers with 502, as one that lacks them would."""
    return {cmd for cmd, wanted in (("REST", options.refuse_rest), ("SIZE", options.no_size))
            if wanted}


class HeldBack:
    """Actions that wait for their time, run in the order they came.

    Not pyftpdlib's call_later: its scheduler moves a reset idle timer without restoring its
    heap, after which it can sleep through a due call until some socket wakes it."""

    def __init__(self):
        self.waiting = collections.deque()  # (due, action); one delay for all, so in due order

    def add(self, delay, action):
        self.waiting.append((time.monotonic() + delay, action))

    def run_due(self):
        """Runs the actions whose time has come; returns the seconds until the next one."""
        while self.waiting and self.waiting[0][0] <= time.monotonic():
            self.waiting.popleft()[1]()
        return self.waiting[0][0] - time.monotonic() if self.waiting else None


held_back = HeldBack()

# How long the server waits on its sockets at most while replies are held back, so that
# pyftpdlib's own timers still run.
IDLE_POLL_SECONDS = 0.05


def serve(server, options):
    if not options.reply_delay:
        return server.serve_forever()
    while True:
        soonest = held_back.run_due()
        wait = IDLE_POLL_SECONDS if soonest is None else min(max(soonest, 0), IDLE_POLL_SECONDS)
        server.serve_forever(timeout=wait, blocking=False, handle_exit=False)


def logging_handler(base, log, options):
    """A handler class that writes each command it receives to `log` (or nothing), and
    refuses or hangs up on the commands the options name."""
    unimplemented = unimplemented_commands(options)
    logins = {"accepted": 0}
    connections = {"made": 0}

    class LoggingHandler(base):
        # FEAT offers only what proto_cmds holds: "REST STREAM" goes with REST, SIZE with SIZE.
        proto_cmds = {cmd: info for cmd, info in base.proto_cmds.items()
                      if cmd not in unimplemented}

        def on_connect(self):
            if log:
                log.write("CONNECT\n")
            connections["made"] += 1
            if options.close_connections_after and \
                    connections["made"] > options.close_connections_after:
                self.close()  # before the greeting, which goes only to an open connection

        def on_login(self, username):
            logins["accepted"] += 1

        def push(self, text):
            # Bytes that came in through the command line go out unchanged, valid or not.
            data = text.encode("utf8", "surrogateescape")
            self.later(lambda: asynchat.async_chat.push(self, data))

        def close_when_done(self):
            # After the replies held back before it.
            self.later(lambda: base.close_when_done(self))

        def later(self, action):
            """Runs `action` once the reply delay has passed (at once without one)."""
            if not options.reply_delay:
                return action()

            def unless_closed():
                if not self._closed:
                    action()
            held_back.add(options.reply_delay / 1000.0, unless_closed)

        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write("PASS ******\n" if cmd == "PASS" else line + "\n")
            if line in options.hang_up_at:
                self.close()
            elif line in options.refuse:
                self.respond("550 " + options.refuse_text)
            elif cmd in unimplemented:
                self.respond(NOT_IMPLEMENTED)
            elif cmd == "PASS" and options.refuse_logins_after and \
                    logins["accepted"] >= options.refuse_logins_after:
                self.respond("530 Too many logins for this user.")
            else:
                super().pre_process_command(line, cmd, arg)

    if options.banner is not None:
        LoggingHandler.banner = options.banner
    return LoggingHandler


class UploadFault:
    """A fault that strikes the first upload to receive `after` bytes, once per server run
    whichever connection it comes on (0: never)."""

    def __init__(self, after, strike):
        self.after = after
        self.strike = strike
        self.spent = False

    def pending(self):
        return self.after > 0 and not self.spent


def drop_both_connections(dtp):
    """Closes the data and the control connection without a reply, as a dropped line would."""
    control = dtp.cmd_channel
    close_without_tls_goodbye(dtp)
    # Below the TLS layer, so no close_notify is sent or awaited either.
    FTPHandler.close(control)


def reset_data_connection(dtp):
    """Closes the data connection and says so on the control connection, which stays up."""
    dtp._resp = ("426 Connection closed; transfer aborted.", logger.info)
    close_without_tls_goodbye(dtp)


def close_without_tls_goodbye(dtp):
    # Unread data in the socket makes the system answer with a reset, as a failing line does.
    UploadFaultsDTPHandler.close(dtp)


def cut_to_half(file, start):
    """Keeps what the file held before `start` and half of what was written from there."""
    file.flush()
    file.truncate(start + (file.tell() - start) // 2)


class UploadFaultsDTPHandler(DTPHandler):
    """A data channel that can fail an upload part way (see UploadFault) or keep only half of
    each completed one. Mixed in below the TLS layer, whose read events reach it as plain
    reads; `faults` and `keep_half` are set on the class made for a server run."""

    faults = ()
    keep_half = False

    def pending_faults(self):
        if not self.receive or self.cmd not in UPLOADS:
            return []
        return [fault for fault in self.faults if fault.pending()]

    def recv(self, buffer_size):
        # Reading no further than the nearest fault leaves exactly its bytes in the file.
        pending = self.pending_faults()
        if pending:
            nearest = min(fault.after for fault in pending)
            buffer_size = min(buffer_size, nearest - self.tot_bytes_received)
        return super().recv(buffer_size)

    def handle_read(self):
        super().handle_read()
        for fault in self.pending_faults():
            if self.tot_bytes_received >= fault.after and not self._closed:
                fault.spent = True
                fault.strike(self)
                return

    # DTPHandler binds this name to its own handle_read; rebind it to the one above.
    handle_read_event = handle_read

    def enable_receiving(self, type, cmd):
        # Where this upload starts writing: 0, the REST position, or the end for APPE.
        self.upload_start = self.file_obj.tell()
        super().enable_receiving(type, cmd)

    def close(self):
        if self.keep_half and self.completed_upload():
            cut_to_half(self.file_obj, self.upload_start)
        super().close()

    def completed_upload(self):
        return (not self._closed and self.receive and self.transfer_finished
                and self.file_obj is not None and not self.file_obj.closed)


def raw_dtp_handler(base):
    """A data channel that never rewrites CR LF, so stored files show the wire's bytes."""

    class RawDTPHandler(base):
        def enable_receiving(self, type, cmd):
            super().enable_receiving(type, cmd)
            self._data_wrapper = None

    return RawDTPHandler


def early_handshake_dtp_handler(base):
    """A TLS data channel that takes the handshake before the transfer command.

    libcurl starts TLS on the data connection as soon as it connects, before STOR, as
    RFC 4217 allows; pyftpdlib would read that early ClientHello as a hang-up and close."""

    class EarlyHandshakeDTPHandler(base):
        def readable(self):
            return self._ssl_accepting or super().readable()

    return EarlyHandshakeDTPHandler


def clear_data_handler(base):
    """A TLS control connection whose server will not encrypt the data connections."""

    class ClearDataHandler(base):
        def ftp_PROT(self, line):
            self.respond("534 Data protection refused by policy.")

    return ClearDataHandler


def data_handler(options):
    """The data channel class for this run: TLS or not, with the faults and limits asked for."""
    if options.tls_dir:
        from pyftpdlib.handlers import TLS_DTPHandler
        bases = [early_handshake_dtp_handler(TLS_DTPHandler)]
    else:
        bases = []
    bases.append(UploadFaultsDTPHandler)
    if options.read_limit:
        bases.append(ThrottledDTPHandler)
    faults = (UploadFault(options.drop_after, drop_both_connections),
              UploadFault(options.reset_data_after, reset_data_connection))
    dtp = type("TestDTPHandler", tuple(bases), {
        "faults": faults, "keep_half": options.keep_half, "read_limit": options.read_limit})
    return raw_dtp_handler(dtp) if options.keep_ascii_bytes else dtp


def make_handler(options, log):
    if options.tls_dir:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler
    else:
        base = FTPHandler
    if options.refuse_prot_p:
        base = clear_data_handler(base)
    handler = logging_handler(base, log, options)
    if options.tls_dir:
        handler.certfile = write_self_signed_certificate(options.tls_dir, options.tls_host)
    handler.dtp_handler = data_handler(options)
    authorizer = DummyAuthorizer()
    authorizer.add_user(USER, PASSWORD, options.root, perm="elradfmw")
    handler.authorizer = authorizer
    # A refused login answers at once: the tests need no brute-force brake.
    handler.auth_failed_timeout = 0
    return handler


def main():
    options = parse_arguments()
    pyftpdlib_log = logging.getLogger("pyftpdlib")
    pyftpdlib_log.addHandler(logging.StreamHandler(sys.stderr))
    pyftpdlib_log.setLevel(logging.WARNING)
    log = open(options.log, "a", buffering=1, encoding="utf-8") if options.log else None
    server = FTPServer(("127.0.0.1", 0), make_handler(options, log))
    server.max_cons_per_ip = options.max_connections_per_ip
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    serve(server, options)


if __name__ == "__main__":
    main()
