"""The Windows ftp.exe (WinINet) under Wine, as Tunelift starts it: on the tool's own script,
in a program folder of staged files, its connections sent to a real FTP server on 127.0.0.1
(Debian's pyftpdlib, run by tests/support/ftp_test_server.py) while the script names the
real host. One CTest entry; Wine's prefix and settings come from the environment.

Usage: ftp_exe_wine_test.py --ftp-exe PATH --wine PATH --server PATH [unittest options]
"""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

HOST = "music.example.net"
OPTIONS = None


def script(*lines):
    return "".join(line + "\r\n" for line in lines)


TOOL_SCRIPT = script("prompt", "open " + HOST, "DeckHopper", "MovingTracks", "binary",
                     "mput temp\\*.mp3", "bye")


def awkward_bytes():
    """Every byte value, then runs of CR, LF and CR LF, often enough to cross buffers."""
    block = bytes(range(256)) + b"\r\r\r\n\n\n\r\n\r\nend\r"
    return block * 400


class FtpServer:
    """pyftpdlib on 127.0.0.1 at a port the system chose, logging every command."""

    def __init__(self, receive_folder, work_folder, keep_ascii_bytes=False, options=()):
        self.log = os.path.join(work_folder, "commands.log")
        arguments = [sys.executable, OPTIONS.server, "--root", receive_folder, "--log", self.log,
                     *options]
        if keep_ascii_bytes:
            arguments.append("--keep-ascii-bytes")
        self.process = subprocess.Popen(arguments, stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("PORT "):
            self.stop()
            raise RuntimeError("the FTP test server said: " + line)
        self.port = int(line.split()[1])

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.process.stdout.close()

    def commands(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as log:
            return log.read().splitlines()

    def count(self, verb):
        return sum(1 for line in self.commands() if line == verb or line.startswith(verb + " "))


class FtpExeUnderWine(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory(prefix="tunelift-wine-ftp-")
        self.program = os.path.join(self.work.name, "program")
        self.received = os.path.join(self.work.name, "received")
        os.makedirs(os.path.join(self.program, "temp"))
        os.makedirs(self.received)
        self.server = None

    def tearDown(self):
        if self.server:
            self.server.stop()
        self.work.cleanup()

    def start_server(self, **options):
        self.server = FtpServer(self.received, self.work.name, **options)
        return self.server

    def stage(self, name, content):
        with open(os.path.join(self.program, "temp", name), "wb") as staged:
            staged.write(content)

    def run_client(self, port, commands, arguments=("-s:sendfiles.ftps",), connections=None):
        """Runs ftp.exe in the program folder as Tunelift starts it, over its own number of
        connections unless `connections` says; returns (status, output, errors)."""
        with open(os.path.join(self.program, "sendfiles.ftps"), "w", encoding="utf-8",
                  newline="") as file:
            file.write(commands)
        environment = dict(os.environ)
        environment["TUNELIFT_FTP_CONNECT_TO"] = "%s:21:127.0.0.1:%d" % (HOST, port)
        environment["TUNELIFT_FTP_RETRY_WAITS"] = "0.1,0.1,0.1"
        if connections is not None:
            environment["TUNELIFT_FTP_CONNECTIONS"] = str(connections)
        # Wine hands the variable to the program as it is: a Unix path reads as a path on Z:.
        environment["TUNELIFT_FTP_REPORT"] = os.path.join(self.program, "send.report")
        done = subprocess.run([OPTIONS.wine, OPTIONS.ftp_exe, *arguments], cwd=self.program,
                              env=environment, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=120)
        output = done.stdout.decode("utf-8").replace("\r\n", "\n")
        return done.returncode, output, done.stderr.decode("utf-8", "replace")

    def received_names(self):
        return sorted(os.listdir(self.received))

    def read_received(self, name):
        with open(os.path.join(self.received, name), "rb") as file:
            return file.read()

    def test_sends_every_staged_mp3_byte_identical_under_its_own_name_over_one_login(self):
        server = self.start_server()
        music = awkward_bytes()
        self.stage("SONG.MP3", music)
        self.stage("Ünïcödé ÉTÉ ♫.mp3", music[::-1])
        self.stage("voice.wav", b"not music for the station")
        self.stage(".hidden.mp3", b"never listed, so never sent")

        # One connection, so that its login is counted alone.
        status, output, errors = self.run_client(server.port, TOOL_SCRIPT, connections=1)

        self.assertEqual(status, 0, output + errors)
        self.assertEqual(self.received_names(), ["SONG.MP3", "Ünïcödé ÉTÉ ♫.mp3"])
        self.assertEqual(self.read_received("SONG.MP3"), music)
        self.assertEqual(self.read_received("Ünïcödé ÉTÉ ♫.mp3"), music[::-1])
        self.assertGreater(server.count("TYPE I"), 0)
        self.assertEqual(server.count("TYPE I"), server.count("TYPE"))
        self.assertEqual(server.count("STOR"), 2)
        self.assertIn("STOR SONG.MP3", server.commands())  # the base name, not temp\SONG.MP3
        self.assertEqual(server.count("CONNECT"), 1)
        self.assertEqual(server.count("USER"), 1)
        self.assertIn("Connected to %s.\n" % HOST, output)
        # WinINet has no FTP over TLS: the transcript says so once, before the login.
        plain = ("The connection is not encrypted: this FTP client cannot encrypt; the password "
                 "and the files go in plain FTP.")
        lines = output.splitlines()
        self.assertEqual(lines.count(plain), 1, output)
        self.assertLess(lines.index(plain), lines.index("Password:"), output)
        self.assertIn("ftp: %d bytes sent in " % len(music), output)
        self.assertNotIn("MovingTracks", output + errors)

    def test_ends_with_status_one_and_sends_nothing_after_a_wrong_password(self):
        server = self.start_server()
        self.stage("a.mp3", b"a")
        status, output, errors = self.run_client(server.port, script(
            "prompt", "open " + HOST, "DeckHopper", "NotTheTracks", "binary", "mput temp\\*.mp3",
            "bye"))

        self.assertEqual(status, 1, output)
        self.assertEqual(errors, "")
        self.assertEqual(self.received_names(), [])
        self.assertEqual(server.count("STOR"), 0)
        self.assertIn("\n530 ", output)
        self.assertIn("Login failed.\n", output)
        self.assertIn("ftp> mput temp\\*.mp3\nftp: Not connected.\n", output)

    def test_fails_on_a_refused_connection_without_running_the_login_lines(self):
        with socket.socket() as closed:
            closed.bind(("127.0.0.1", 0))  # bound, not listening: connections are refused
            self.stage("a.mp3", b"a")
            status, output, _ = self.run_client(closed.getsockname()[1], TOOL_SCRIPT)
        self.assertEqual(status, 1, output)
        self.assertNotIn("Connected to", output)
        self.assertNotIn("DeckHopper", output)
        self.assertNotIn("Invalid command", output)
        self.assertIn("ftp> mput temp\\*.mp3\nftp: Not connected.\n", output)
        # The host and port the script named, not where the test sent the connection.
        self.assertIn("\nftp: Nothing answered on %s port 21 (connection refused)." % HOST, output)

    def test_says_that_an_unknown_host_could_not_be_found(self):
        # ".invalid" never resolves (RFC 6761): no connection is made anywhere.
        status, output, _ = self.run_client(0, script(
            "open no-such-host.invalid", "DeckHopper", "MovingTracks", "bye"))
        self.assertEqual(status, 1, output)
        self.assertIn("\nftp: The server no-such-host.invalid could not be found.", output)
        self.assertNotIn("Connected to", output)

    def test_shows_the_servers_reply_to_a_refused_file_and_sends_the_others(self):
        server = self.start_server(options=("--refuse", "STOR b.mp3"))
        self.stage("a.mp3", b"a")
        self.stage("b.mp3", b"b")
        self.stage("c.mp3", b"c")
        status, output, _ = self.run_client(server.port, TOOL_SCRIPT, connections=1)
        self.assertEqual(status, 1, output)
        self.assertIn("\n550 Refused by the test server.\n"
                      "ftp: The server refused b.mp3: 550 Refused by the test server.\n",
                      output)
        self.assertEqual(self.received_names(), ["a.mp3", "c.mp3"])
        self.assertEqual(server.count("STOR"), 3)
        self.assertEqual(server.count("CONNECT"), 1)

    def read_report(self):
        with open(os.path.join(self.program, "send.report"), encoding="utf-8") as report:
            return report.read()

    def test_carries_on_after_a_dropped_connection_and_every_file_arrives_whole(self):
        server = self.start_server(options=("--drop-after", "2000000"))
        song = bytes((i * 7919 + i // 251) & 0xFF for i in range(3000000))
        self.stage("a.mp3", song)
        self.stage("b.mp3", b"after the drop")
        status, output, _ = self.run_client(server.port, TOOL_SCRIPT, connections=1)
        self.assertEqual(status, 0, output)
        self.assertIn("The connection dropped while a.mp3 was sent; connecting again in 0.1 s "
                      "(try 1 of 3).\n", output)
        self.assertEqual(self.read_received("a.mp3"), song)
        self.assertEqual(self.read_received("b.mp3"), b"after the drop")
        self.assertEqual(server.count("CONNECT"), 2)
        report = self.read_report()
        self.assertIn("file\ta.mp3\t3000000\t3000000\tverified\t", report)
        self.assertTrue(report.endswith("end\t0\n"), report)

    def stage_songs(self, count):
        """Stages `count` songs of different sizes and contents; returns {name: bytes}."""
        songs = {}
        for number in range(count):
            name = "song%02d.mp3" % number
            songs[name] = bytes((i * 31 + number * 7) & 0xFF for i in range(20000 + number * 5000))
            self.stage(name, songs[name])
        return songs

    def assert_arrived_whole(self, songs):
        self.assertEqual(self.received_names(), sorted(songs))
        for name, content in songs.items():
            self.assertEqual(self.read_received(name), content, name)

    def test_sends_every_file_whole_over_its_four_connections_each_logged_in_once(self):
        server = self.start_server()
        songs = self.stage_songs(12)
        # Asked for: on Windows an mput keeps to one connection by itself.
        status, output, errors = self.run_client(server.port, TOOL_SCRIPT, connections=4)
        self.assertEqual(status, 0, output + errors)
        self.assert_arrived_whole(songs)
        self.assertEqual(server.count("CONNECT"), 4)
        self.assertEqual(server.count("USER"), 4)
        self.assertEqual(server.count("STOR"), 12)
        for name in songs:
            self.assertEqual(output.count("Sending %s over connection " % name), 1, output)
        report = self.read_report()
        for name, content in songs.items():
            self.assertIn("file\t%s\t%d\t%d\tverified\t" % (name, len(content), len(content)),
                          report)
        self.assertTrue(report.endswith("end\t0\n"), report)

    def test_goes_on_with_the_two_connections_a_server_takes(self):
        server = self.start_server(options=("--max-connections-per-ip", "2"))
        songs = self.stage_songs(8)
        status, output, errors = self.run_client(server.port, TOOL_SCRIPT, connections=4)
        self.assertEqual(status, 0, output + errors)
        self.assert_arrived_whole(songs)
        self.assertEqual(output.count("going on with 2 connections.\n"), 1, output)
        self.assertEqual(server.count("USER"), 2)
        self.assertNotIn("\nftp: The", output)

    def test_keeps_to_one_connection_by_itself_and_resumes_the_file_that_dropped(self):
        server = self.start_server(options=("--drop-after", "2000000"))
        songs = self.stage_songs(5)
        songs["big.mp3"] = bytes((i * 7919 + i // 251) & 0xFF for i in range(3000000))
        self.stage("big.mp3", songs["big.mp3"])
        status, output, _ = self.run_client(server.port, TOOL_SCRIPT)
        self.assertEqual(status, 0, output)
        self.assert_arrived_whole(songs)
        self.assertIn("The connection dropped while big.mp3 was sent; connecting again in 0.1 s "
                      "(try 1 of 3).\n", output)
        self.assertNotIn("over connection 2", output)
        commands = server.commands()
        for name in songs:
            if name != "big.mp3":
                self.assertEqual(commands.count("STOR " + name), 1, name)

    def test_reports_each_file_a_server_keeps_half_of_with_both_sizes(self):
        server = self.start_server(options=("--keep-half",))
        self.stage("a.mp3", b"x" * 1000)
        status, output, _ = self.run_client(server.port, TOOL_SCRIPT)
        self.assertEqual(status, 1, output)
        self.assertIn("ftp: The server holds 500 bytes of a.mp3, which has 1000: it was not "
                      "stored whole.\n", output)
        self.assertNotIn("a.mp3", self.received_names())
        self.assertIn("\tfailed\t", self.read_report())

    def test_sends_in_ascii_mode_without_the_scripts_binary_line(self):
        server = self.start_server(keep_ascii_bytes=True)
        text = b"one\r\ntwo\r\n"
        self.stage("notes.mp3", text)
        status, output, _ = self.run_client(server.port, script(
            "prompt", "open " + HOST, "DeckHopper", "MovingTracks", "mput temp\\*.mp3", "bye"))
        self.assertEqual(status, 0, output)
        # The upload itself goes in ASCII; only the check of its size afterwards asks in binary,
        # as servers give no size in ASCII mode.
        commands = server.commands()
        store = commands.index("STOR notes.mp3")
        self.assertEqual([c for c in commands[:store] if c.startswith("TYPE")][-1], "TYPE A")
        self.assertEqual(self.read_received("notes.mp3"), text)

    def test_writes_names_beyond_ascii_into_the_transcript_as_utf8(self):
        server = self.start_server()
        self.stage("Ünïcödé ♫.mp3", b"x")
        status, output, _ = self.run_client(server.port, script(
            "open " + HOST, "DeckHopper", "MovingTracks", "binary", "mput temp\\*.mp3", "y",
            "bye"))
        self.assertEqual(status, 0, output)
        self.assertIn("mput temp\\Ünïcödé ♫.mp3? ", output)
        self.assertEqual(self.received_names(), ["Ünïcödé ♫.mp3"])

    def test_sends_no_more_of_a_file_than_its_size_said(self):
        # Wine gives a file of /proc the size 0 and reads what it holds all the same.
        server = self.start_server()
        status, output, _ = self.run_client(server.port, script(
            "open " + HOST, "DeckHopper", "MovingTracks", "binary",
            "put Z:\\proc\\self\\status status.txt", "bye"))
        self.assertEqual(status, 1, output)
        self.assertIn("\nftp: status.txt was not sent: Cannot send Z:\\proc\\self\\status: it "
                      "grew while it was sent (error 223)\n", output)
        self.assertEqual(self.read_received("status.txt"), b"")

    def test_lets_no_script_line_or_name_steer_the_terminal(self):
        server = self.start_server()
        self.stage("a.mp3", b"a")
        hostile = "\x1b]0;title\x07 \u009b2J \u202e"
        status, output, errors = self.run_client(server.port, script(
            "open " + HOST, "DeckHopper", "MovingTracks", "binary",
            "put temp\\a.mp3 \"red " + hostile + ".mp3\"", hostile, "bye"))
        self.assertEqual(status, 1, output)
        for control in ("\x1b", "\x07", "\u009b", "\u202e"):
            self.assertNotIn(control, output + errors)
        self.assertIn("ftp> ?]0;title? ?2J ?\nftp: Invalid command.", output)
        self.assertIn("Refusing the remote name \"red ?]0;title? ?2J ?.mp3\"", output)
        self.assertEqual(server.count("STOR"), 0)

    def run_beside_settings(self, settings, commands):
        """Runs a copy of ftp.exe in the program folder beside `settings` as tunelift.ini, with
        nothing else telling it where to connect; returns (status, output, errors)."""
        shutil.copy(OPTIONS.ftp_exe, os.path.join(self.program, "ftp.exe"))
        with open(os.path.join(self.program, "tunelift.ini"), "w", encoding="utf-8",
                  newline="") as file:
            file.write(settings)
        with open(os.path.join(self.program, "sendfiles.ftps"), "w", encoding="utf-8",
                  newline="") as file:
            file.write(commands)
        environment = dict(os.environ)
        environment.pop("TUNELIFT_FTP_CONNECT_TO", None)
        environment["TUNELIFT_FTP_REPORT"] = os.path.join(self.program, "send.report")
        done = subprocess.run([OPTIONS.wine, os.path.join(self.program, "ftp.exe"),
                               "-s:sendfiles.ftps"], cwd=self.program, env=environment,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        output = done.stdout.decode("utf-8").replace("\r\n", "\n")
        return done.returncode, output, done.stderr.decode("utf-8", "replace").replace("\r\n", "\n")

    def test_sends_to_the_host_and_port_of_the_script_tunelift_wrote_from_its_ini(self):
        server = self.start_server()
        music = awkward_bytes()
        self.stage("a.mp3", music)
        status, output, errors = self.run_beside_settings(
            "\ufeff[server]\r\nhost = 127.0.0.1\r\nport = %d\r\n" % server.port,
            script("prompt", "open 127.0.0.1 %d" % server.port, "DeckHopper", "MovingTracks",
                   "binary", "mput temp\\*.mp3", "bye"))
        self.assertEqual(status, 0, output + errors)
        self.assertEqual(self.read_received("a.mp3"), music)
        self.assertEqual(server.count("CONNECT"), 1)

    def test_takes_the_pinned_key_of_the_ini_beside_it_for_its_host(self):
        # WinINet cannot encrypt: a key pinned for the host stops the connection before it is
        # made, which shows that the file's host and key were read.
        server = self.start_server()
        self.stage("a.mp3", b"a")
        status, output, errors = self.run_beside_settings(
            "[server]\nhost = 127.0.0.1\n"
            "pinned_key = sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n",
            script("prompt", "open 127.0.0.1 %d" % server.port, "DeckHopper", "MovingTracks",
                   "binary", "mput temp\\*.mp3", "bye"))
        self.assertEqual(status, 1, output + errors)
        self.assertIn("ftp: This build pins the key of 127.0.0.1's server and so requires "
                      "encryption, but this FTP client cannot encrypt", output)
        self.assertEqual(server.count("CONNECT"), 0)
        self.assertEqual(self.received_names(), [])

    def test_refuses_to_start_beside_a_malformed_ini_and_connects_nowhere(self):
        server = self.start_server()
        self.stage("a.mp3", b"a")
        status, output, errors = self.run_beside_settings(
            "[server]\nhost = 127.0.0.1\nport = %d\nport = 21\n" % server.port,
            script("prompt", "open 127.0.0.1 %d" % server.port, "DeckHopper", "MovingTracks",
                   "binary", "mput temp\\*.mp3", "bye"))
        self.assertEqual(status, 1, output + errors)
        self.assertEqual(errors, "ftp: tunelift.ini, line 4: the key 'port' was already given "
                                 "on line 3.\n")
        self.assertEqual(output, "")
        self.assertEqual(server.count("CONNECT"), 0)
        self.assertIn("failure\t0\t\ttunelift.ini, line 4: ", self.read_report())

    def test_answers_usage_errors_with_status_two(self):
        for arguments in (["-x"], ["-s:"], ["host", "-v"]):
            status, output, errors = self.run_client(0, "bye\r\n", arguments)
            self.assertEqual(status, 2, arguments)
            self.assertIn("ftp.exe [-v] [-d] [-i] [-n] [-s:filename] [host]", errors)
            self.assertEqual(output, "")


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ftp-exe", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--server", required=True)
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
