"""What a release depends on: a signed copy of Setup.exe verifies against its certificate, still carries
every payload entry intact and still installs, while one changed byte breaks its signature; and the same
sources built again in another folder, at another time, give the same Setup.exe byte for byte."""
import copy
import os
import re
import shutil
import sys

import pefile
import pytest

from harness import ROOT, run
from installer import FINISH_BOXES, Scene

sys.path.insert(0, str(ROOT / "tools"))
from payload_catalogue import read_catalogue  # noqa: E402  (the build's own catalogue reader)

PASSWORD = "throwaway-test-password"


@pytest.fixture(scope="module")
def certificate(tmp_path_factory):
    """A throw-away code-signing certificate and its key in a PKCS#12 file."""
    folder = tmp_path_factory.mktemp("signing")
    env = dict(os.environ, SIGN_TEST_PASSWORD=PASSWORD)
    code, out = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-sha256", "-days", "2", "-nodes",
                     "-subj", "/CN=Torvek Pellum test signing", "-addext", "extendedKeyUsage=codeSigning",
                     "-addext", "keyUsage=digitalSignature", "-keyout", str(folder / "key.pem"),
                     "-out", str(folder / "cert.pem")], env=env)
    assert code == 0, out
    code, out = run(["openssl", "pkcs12", "-export", "-inkey", str(folder / "key.pem"),
                     "-in", str(folder / "cert.pem"), "-out", str(folder / "test.pfx"),
                     "-passout", "env:SIGN_TEST_PASSWORD"], env=env)
    assert code == 0, out
    return folder


def verify(exe, certificate):
    return run(["osslsigncode", "verify", "-in", str(exe), "-CAfile", str(certificate / "cert.pem")])


def payload_entries(exe):
    """Name -> bytes of every data resource of the executable (FILE<n>, the banner, the licence)."""
    image = pefile.PE(str(exe), fast_load=True)
    image.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    entries = {}
    for kind in image.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_RCDATA"]:
            continue
        for named in kind.directory.entries:
            data = named.directory.entries[0].data.struct
            entries[str(named.name)] = image.get_data(data.OffsetToData, data.Size)
    return entries


@pytest.mark.scenario("signed", "release")
def test_a_signed_copy_verifies_keeps_its_payload_and_installs(certificate, prefix, paths, checks,
                                                               run_state, tmp_path):
    signed = tmp_path / "Setup.exe"
    shutil.copy2(paths.setup, signed)
    code, out = run([str(ROOT / "scripts" / "sign"), str(signed), "--pfx", str(certificate / "test.pfx"),
                     "--password-env", "SIGN_TEST_PASSWORD"], env=dict(os.environ, SIGN_TEST_PASSWORD=PASSWORD))
    signed_paths = copy.copy(paths)
    signed_paths.setup = signed
    s = Scene("signed", prefix, signed_paths, checks, run_state.say)
    s.require(f"scripts/sign signs and verifies ({out.strip().splitlines()[-1] if out.strip() else code})",
              code == 0)
    code, out = verify(signed, certificate)
    s.that("osslsigncode verifies it against the certificate", code == 0 and "Signature verification: ok" in out)
    s.that("the signed copy is a different file", signed.read_bytes() != paths.setup.read_bytes())

    entries = {name: data for name, data in payload_entries(signed).items() if name.startswith("FILE")}
    catalogue = read_catalogue(str(ROOT / "resources" / "payload.catalogue"))
    intact = sum(entries.get(f"FILE{e.number}") == (paths.payload / e.destination).read_bytes() for e in catalogue)
    s.equal("every payload entry is intact in the signed copy", (intact, len(entries)), (32, 32))

    tampered = tmp_path / "Tampered.exe"
    data = bytearray(signed.read_bytes())
    at = data.find(entries["FILE2"][:64])
    data[at + 10] ^= 0x01
    tampered.write_bytes(bytes(data))
    s.that("one changed payload byte breaks the signature", verify(tampered, certificate)[0] != 0)

    # The signed copy installs like the built one.
    s.require("the signed copy's wizard appears", s.start_setup())
    s.walk_to_associations()
    s.associations_then_finish(*FINISH_BOXES)
    s.check_files()
    s.check_product_keys()


def cached(tree, name):
    """A value from a configured tree's CMakeCache.txt, or ""."""
    cache = tree / "CMakeCache.txt"
    found = re.search(rf"^{name}:[A-Z]+=(.*)$", cache.read_text(), re.M) if cache.is_file() else None
    return found.group(1) if found else ""


CONFIGURED = "== the second tree is configured"


def second_tree(paths):
    return paths.work / "another-folder" / "win32"


def second_build(paths):
    """The product tree configured again, as it was, in a folder with another absolute path, and
    Setup.exe built there: a job of half a minute or more, run while the scenarios run."""
    product = paths.setup_i686.parents[1]
    settings = ["CMAKE_TOOLCHAIN_FILE", "CMAKE_BUILD_TYPE", "LIBJPEG_ROOT", "SETUP_SOURCE_DATE_EPOCH",
                "SETUP_PAYLOAD_DIR", "Python3_EXECUTABLE"]
    shutil.rmtree(second_tree(paths).parent, ignore_errors=True)
    return ["bash", "-c", f'cmake -S "$1" -B "$2" -G Ninja "${{@:3}}" && echo "{CONFIGURED}" && '
            'cmake --build "$2" --target Setup', "second-build", ROOT, second_tree(paths),
            *(f"-D{name}={cached(product, name)}" for name in settings)]


@pytest.mark.scenario("reproducible", "release")
@pytest.mark.background.with_args(second_build)
def test_a_second_build_elsewhere_gives_the_same_bytes(paths, checks, run_state, background):
    """Built now, elsewhere: the same SOURCE_DATE_EPOCH, the same bytes."""
    product, again = paths.setup_i686.parents[1], second_tree(paths)
    code, out = background.result(timeout=540)
    checks.that("reproducible: the second tree configures", CONFIGURED in out) or run_state.say(out[-2000:])
    checks.that("reproducible: the second tree builds Setup.exe", code == 0) or run_state.say(out[-2000:])
    rebuilt = again / "app" / "Setup.exe"
    checks.that(f"reproducible: Setup.exe built in {again} equals {paths.setup_i686}",
                rebuilt.is_file() and rebuilt.read_bytes() == paths.setup_i686.read_bytes())
    checks.that("reproducible: the build time came from SOURCE_DATE_EPOCH",
                cached(product, "SETUP_SOURCE_DATE_EPOCH").isdigit())
    shutil.rmtree(again.parent, ignore_errors=True)
