"""scripts/release: what it refuses, leaving nothing behind; and a signed release of the sample
product whose three files verify, fail to verify once a byte changes, carry the build's version,
and install end to end under Wine.

    test_release.py Refusals BuildSettings   quick, no build (host tests)
    test_release.py SignedRelease            builds a release tree; the Wine part needs the rig's
                                             e2e-release group, CVI_RELEASE_E2E and CVI_SAMPLE_PRODUCT
"""

import hashlib
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest
import zipfile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "tools", "sfx"))
import make_package  # noqa: E402

RELEASE = os.path.join(REPO, "scripts", "release")
PASSWORD = "throwaway release test"
CONFIG = """[req]
distinguished_name = dn
[dn]
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign
[leaf]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
"""


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_certificate(folder):
    """A throwaway certificate authority and a code-signing certificate it issued, made now and
    never kept: (PKCS#12 file, file holding its password, the authority's certificate)."""
    path = lambda name: os.path.join(folder, name)  # noqa: E731
    with open(path("openssl.cnf"), "w") as f:
        f.write(CONFIG)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
            "/CN=Throwaway Test CA", "-keyout", path("ca.key"), "-out", path("ca.pem"),
            "-config", path("openssl.cnf"), "-extensions", "ca")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Throwaway Code Signing",
            "-config", path("openssl.cnf"), "-keyout", path("leaf.key"), "-out", path("leaf.csr"))
    openssl("x509", "-req", "-in", path("leaf.csr"), "-CA", path("ca.pem"), "-CAkey",
            path("ca.key"), "-CAcreateserial", "-days", "2", "-out", path("leaf.pem"),
            "-extfile", path("openssl.cnf"), "-extensions", "leaf")
    with open(path("password"), "w") as f:
        f.write(PASSWORD + "\n")
    openssl("pkcs12", "-export", "-out", path("leaf.pfx"), "-inkey", path("leaf.key"), "-in",
            path("leaf.pem"), "-certfile", path("ca.pem"), "-passout", f"pass:{PASSWORD}")
    return path("leaf.pfx"), path("password"), path("ca.pem")


def release(*args, build_dir):
    env = dict(os.environ, CVI_RELEASE_BUILD_DIR=build_dir)
    return subprocess.run([sys.executable, RELEASE, *args], env=env, capture_output=True,
                          text=True, stdin=subprocess.DEVNULL)


def verifies(path, ca):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


class Refusals(unittest.TestCase):
    """Each refusal says why, builds nothing and leaves OUT_DIR as it was."""

    def test_refusals(self):
        with tempfile.TemporaryDirectory() as temp:
            path = lambda *names: os.path.join(temp, *names)  # noqa: E731
            pfx, password, _ = make_certificate(temp)
            for folder in ("product", "empty", "out"):
                os.makedirs(path(folder))
            with open(path("product", "CelvaraStudio.exe"), "wb") as f:
                f.write(b"MZ")
            with open(path("wrong"), "w") as f:
                f.write("not the password\n")
            good = [path("product"), path("out"), "--url", "https://example.com/packages/"]
            rows = [
                ("product folder without the program",
                 [path("empty")] + good[1:], "holds no CelvaraStudio.exe"),
                ("upgrade folder without the program",
                 good + ["--upgrade-dir", path("empty")], "holds no CelvaraStudio.exe"),
                ("not an http address", good[:3] + ["ftp://example.com/packages/"], "--url"),
                ("no final slash", good[:3] + ["https://example.com/packages"], "--url"),
                ("a quote in the address", good[:3] + ['http://example.com/a"b/'], "--url"),
                ("no host", good[:3] + ["http:///packages/"], "--url"),
                ("wrong password", good + ["--sign", pfx, "--sign-pass", path("wrong")],
                 "does not open"),
                ("not a certificate", good + ["--sign", path("wrong"), "--sign-pass", password],
                 "does not open"),
                ("no certificate file", good + ["--sign", path("none.pfx"), "--sign-pass",
                                                password], "not a readable file"),
                ("certificate without password", good + ["--sign", pfx], "go together"),
                ("plain http is warned of", [path("empty"), path("out"), "--url",
                                             "http://example.com/packages/"], "prefer https"),
                ("neither signed nor said to be unsigned", good, "SmartScreen"),
                ("signed and said to be unsigned",
                 good + ["--unsigned", "--sign", pfx, "--sign-pass", password], "contradict"),
                ("OUT_DIR inside the product",
                 [path("product"), path("product", "out")] + good[2:], "lies inside"),
            ]
            for name, args, message in rows:
                with self.subTest(name):
                    result = release(*args, build_dir=path("build"))
                    self.assertNotEqual(result.returncode, 0)
                    self.assertIn("release: refused", result.stderr)
                    self.assertIn(message, result.stderr)
                    self.assertEqual(os.listdir(path("out")), [])
                    self.assertFalse(os.path.exists(path("product", "out")))
                    self.assertFalse(os.path.exists(path("build")), "a build was started")


class BuildSettings(unittest.TestCase):
    """A hand build checks the download and support addresses too: they become literals in the
    program."""

    def test_configure_refuses_an_address_that_is_not_one(self):
        rows = [("CVINSTALL_DOWNLOAD_BASE_URL", 'http://example.com/a"b/', "must be an http"),
                ("CVINSTALL_DOWNLOAD_BASE_URL", "http://example.com/packages", "must be an http"),
                ("CVINSTALL_DOWNLOAD_BASE_URL", "ftp://example.com/", "must be an http"),
                ("CVINSTALL_SUPPORT_EMAIL", 'help@example.com" + x + "', "must be a plain e-mail"),
                ("CVINSTALL_SUPPORT_EMAIL", "nobody", "must be a plain e-mail")]
        for setting, value, message in rows:
            with self.subTest(value), tempfile.TemporaryDirectory() as build:
                result = subprocess.run(["cmake", "-S", REPO, "-B", build, "-DCVINSTALL_TESTS=OFF",
                                         f"-D{setting}={value}"],
                                        capture_output=True, text=True, stdin=subprocess.DEVNULL)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(f"{setting} {message}", result.stderr)


    def test_configure_takes_the_pinned_packages_by_hand(self):
        digest = "0" * 64
        pins = [f"-DCVINSTALL_{kind}_PACKAGE_{fact}={value}" for kind in ("FULL", "UPGRADE")
                for fact, value in (("SHA256", digest), ("SIZE", 189567), ("DEEPEST_PATH", 38))]
        rows = [("all pinned", pins, None),
                ("no longest name", pins[:2] + pins[3:], "_DEEPEST_PATH must be set")]
        for name, settings, message in rows:
            with self.subTest(name), tempfile.TemporaryDirectory() as build:
                result = subprocess.run(["cmake", "-S", REPO, "-B", build, "-DCVINSTALL_TESTS=OFF",
                                         *settings],
                                        capture_output=True, text=True, stdin=subprocess.DEVNULL)
                if message is None:
                    self.assertEqual(result.returncode, 0, result.stderr)
                else:
                    self.assertIn(message, result.stderr)


class SignedRelease(unittest.TestCase):
    """One signed release of the sample product, made once for the class."""

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        path = lambda *names: os.path.join(cls.temp.name, *names)  # noqa: E731
        cls.out = path("out")
        pfx, password, cls.ca = make_certificate(cls.temp.name)
        product = os.environ["CVI_SAMPLE_PRODUCT"]
        contents = os.path.join(REPO, "tools", "sfx", "package_contents.py")
        for kind in ("full", "upgrade"):
            subprocess.run([sys.executable, contents, "--kind", kind, "--product", product,
                            "--output", path(kind)], check=True)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            cls.port = probe.getsockname()[1]
        cls.result = release(path("full"), cls.out, "--url",
                             f"http://127.0.0.1:{cls.port}/packages/", "--sign", pfx,
                             "--sign-pass", password, "--upgrade-dir", path("upgrade"),
                             build_dir=os.environ["CVI_RELEASE_BUILD_DIR"])

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def setUp(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)

    def file(self, name):
        return os.path.join(self.out, name)

    def test_three_signed_files_and_their_digests(self):
        names = ["CVInstall.exe", "CelvaraStudio_v3.9.exe", "CelvaraStudio_Upgrade_v3.9.exe"]
        self.assertEqual(sorted(os.listdir(self.out)), sorted(names + ["SHA256SUMS"]))
        with open(self.file("SHA256SUMS")) as f:
            sums = dict(reversed(line.split("  ")) for line in f.read().splitlines())
        for name in names:
            with self.subTest(name):
                with open(self.file(name), "rb") as f:
                    data = f.read()
                self.assertEqual(sums[name], hashlib.sha256(data).hexdigest())
                self.assertTrue(verifies(self.file(name), self.ca))
                image = make_package.PeImage(data)
                self.assertEqual(make_package.file_version(image), "3.9.0.0")
                tampered = self.file(name) + ".tampered"
                changed = bytearray(data)
                changed[len(data) // 2] ^= 0x01
                with open(tampered, "wb") as f:
                    f.write(changed)
                try:
                    self.assertFalse(verifies(tampered, self.ca))
                finally:
                    os.remove(tampered)
        self.assertIn(f"http://127.0.0.1:{self.port}/packages/CelvaraStudio_v3.9.exe",
                      self.result.stdout)

    def test_packages_still_unpack_and_end_with_their_log(self):
        for name, log, inside in (("CelvaraStudio_v3.9.exe", "CVInstall_v3.9.txt",
                                   "CelvaraStudioUserGuide.htm"),
                                  ("CelvaraStudio_Upgrade_v3.9.exe", "CVUpgrade_v3.9.txt",
                                   "CelvaraStudio.exe")):
            with self.subTest(name), zipfile.ZipFile(self.file(name)) as archive:
                self.assertIsNone(archive.testzip())
                self.assertEqual(archive.namelist()[-1], log)
                self.assertIn(inside, archive.namelist())

    def test_installs_the_released_packages_under_wine(self):
        rig = os.environ.get("RIG_DIR", os.path.join(REPO, "build", "rig"))
        with open(os.path.join(rig, "arch")) as f:
            if f.read().strip() != "win32":
                self.skipTest("this machine cannot run the 32-bit release under Wine")
        server = subprocess.Popen(
            [sys.executable, "-u", os.path.join(REPO, "tools", "vendor_server", "vendor_server.py"),
             "--port", str(self.port), "--root", self.out],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, text=True)
        try:
            self.assertTrue(re.match("ready", server.stdout.readline()), "no vendor server")
            env = dict(os.environ, CVI_RELEASED_INSTALLER=self.file("CVInstall.exe"))
            # A file, not a pipe: a program left running in the prefix would hold a pipe open.
            with tempfile.TemporaryFile("w+") as output:
                run = subprocess.run([os.path.join(REPO, "tests", "rig", "wine-run"),
                                      "e2e-release", os.environ["CVI_RELEASE_E2E"]], env=env,
                                     stdout=output, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL, timeout=600)
                output.seek(0)
                self.assertEqual(run.returncode, 0, output.read())
        finally:
            server.terminate()
            server.wait()
            server.stdout.close()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:], verbosity=2)
