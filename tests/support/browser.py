#!/usr/bin/python3
"""Plays the user's browser for the tests' OAuth 2.0 sign-in: fetches the authorization address the
program opened (the test provider gives its consent at once), then follows the provider's redirect to the
program's loopback port. Only this machine is contacted: "localhost" is taken as 127.0.0.1, as the
system's resolver gives it. Prints "PROVIDER <status> <location>", then "PROGRAM <status>" and the page.
"""

import http.client
import sys
from urllib.parse import urlsplit


def get(url):
    u = urlsplit(url)
    if u.hostname not in ("localhost", "127.0.0.1"):
        print("NOT LOOPBACK " + url, flush=True)
        sys.exit(2)
    connection = http.client.HTTPConnection("127.0.0.1", u.port, timeout=20)
    connection.request("GET", u.path + ("?" + u.query if u.query else ""), headers={"Host": u.netloc})
    response = connection.getresponse()
    return response.status, response.getheader("Location"), response.read()


def main():
    status, location, body = get(sys.argv[1])
    print("PROVIDER %d %s" % (status, location or ""), flush=True)
    if status != 302 or not location:
        print(body.decode("utf-8", "replace"), flush=True)
        return 1
    status, _, body = get(location)
    print("PROGRAM %d" % status, flush=True)
    print(body.decode("utf-8", "replace"), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
