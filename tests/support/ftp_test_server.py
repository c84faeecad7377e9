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
  --hang-up-at LINE   close the control connection, without a reply, on the command LINE
"""

import argparse
import datetime
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, asynchat
from pyftpdlib.servers import FTPServer

USER = "DeckHopper"
PASSWORD = "MovingTracks"


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
    parser.add_argument("--hang-up-at", action="append", default=[])
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


def logging_handler(base, log, options):
    """A handler class that writes each command it receives to `log` (or nothing), and
    refuses or hangs up on the commands the options name."""

    class LoggingHandler(base):
        def on_connect(self):
            if log:
                log.write("CONNECT\n")

        def push(self, text):
            # Bytes that came in through the command line go out unchanged, valid or not.
            asynchat.async_chat.push(self, text.encode("utf8", "surrogateescape"))

        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write("PASS ******\n" if cmd == "PASS" else line + "\n")
            if line in options.hang_up_at:
                self.close()
            elif line in options.refuse:
                self.respond("550 Refused by the test server.")
            else:
                super().pre_process_command(line, cmd, arg)

    if options.banner is not None:
        LoggingHandler.banner = options.banner
    return LoggingHandler


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


def make_handler(options, log):
    if options.tls_dir:
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
        base, dtp = TLS_FTPHandler, early_handshake_dtp_handler(TLS_DTPHandler)
    else:
        base, dtp = FTPHandler, DTPHandler
    if options.refuse_prot_p:
        base = clear_data_handler(base)
    handler = logging_handler(base, log, options)
    if options.tls_dir:
        handler.certfile = write_self_signed_certificate(options.tls_dir, options.tls_host)
    handler.dtp_handler = raw_dtp_handler(dtp) if options.keep_ascii_bytes else dtp
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
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
