"""A local print server for the tests: the WebSocket endpoint and the HTTP
job endpoints on one loopback port. It checks the Basic "Authorization"
header, records every request and frame, pushes job packages (and raw text
frames), serves job files (or error statuses, or stalls, or trickles a byte
at a time), and closes connections on request.

It runs its event loop on a thread of its own; every method is called from
the test's thread."""

import asyncio
import base64
import json
import threading
import time
from pathlib import Path

from aiohttp import WSMsgType, web

WEBSOCKET_PATH = "/SessionStorage/api/websocket"
FILE_PREFIX = "/SessionStorage/api/printjob/file/"
DELETE_PREFIX = "/SessionStorage/api/PrintJob/"


class PrintServer:
    def __init__(self, account="alice", password="s3cret"):
        self.expected = "Basic " + base64.b64encode(f"{account}:{password}".encode()).decode()
        self.requests = []  # (method, path, headers) in arrival order
        self.frames = []  # (kind, payload) from the client: "binary" bytes, "text" str
        self.files = {}  # name -> bytes, or a Path served from disk
        self.statuses = {}  # name -> (status, body) answered instead of the file
        self.stalled = set()  # names whose download never finishes
        self.trickled = {}  # name -> seconds between the bytes of its body
        self.port = None
        self._sockets = []
        self._lock = threading.Lock()
        self._loop = None
        self._thread = None
        self._runner = None

    # --- the test's side ---

    def __enter__(self):
        started = threading.Event()
        self._thread = threading.Thread(target=self._run, args=(started,), daemon=True)
        self._thread.start()
        if not started.wait(15):
            raise AssertionError("the print server did not start")
        return self

    def __exit__(self, *exc):
        self._call(self._shutdown(), timeout=10)
        self._loop.call_soon_threadsafe(self._loop.stop)
        self._thread.join(10)

    @property
    def address(self):
        return f"127.0.0.1:{self.port}"

    def requests_for(self, method):
        with self._lock:
            return [r for r in self.requests if r[0] == method]

    def binary_frames(self):
        with self._lock:
            return [payload for kind, payload in self.frames if kind == "binary"]

    def connections(self):
        with self._lock:
            return len([ws for ws in self._sockets if not ws.closed])

    def push_job(self, job_id, data_file, config_file):
        self.push_text(json.dumps({"type": 200002, "size": 0,
                                   "data": {"PrintJobId": job_id, "DataFile": data_file,
                                            "ConfigFile": config_file}}))

    def push_text(self, text):
        self._call(self._send_all(text))

    def push_raw_text(self, payload):
        """Sends bytes as a text frame as they are, valid UTF-8 or not."""
        self._call(self._send_all_raw(payload))

    def close_connections(self):
        self._call(self._close_all())

    def wait_for(self, predicate, timeout=10, what="the server"):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = predicate()
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError(f"timed out after {timeout} s waiting for {what}")

    # --- the server's side ---

    def _call(self, coroutine, timeout=10):
        return asyncio.run_coroutine_threadsafe(coroutine, self._loop).result(timeout)

    def _run(self, started):
        self._loop = asyncio.new_event_loop()
        asyncio.set_event_loop(self._loop)
        app = web.Application()
        app.router.add_get(WEBSOCKET_PATH, self._websocket)
        app.router.add_get(FILE_PREFIX + "{name}/eoq", self._file)
        app.router.add_delete(DELETE_PREFIX + "{job_id}", self._delete)
        self._runner = web.AppRunner(app, handle_signals=False)
        self._loop.run_until_complete(self._runner.setup())
        site = web.TCPSite(self._runner, "127.0.0.1", 0, shutdown_timeout=1)
        self._loop.run_until_complete(site.start())
        self.port = site._server.sockets[0].getsockname()[1]
        started.set()
        self._loop.run_forever()

    def _record(self, request):
        with self._lock:
            self.requests.append((request.method, request.raw_path, dict(request.headers)))
        return request.headers.get("Authorization") == self.expected

    async def _websocket(self, request):
        if not self._record(request):
            return web.Response(status=401, text="wrong credentials")
        ws = web.WebSocketResponse()
        await ws.prepare(request)
        with self._lock:
            self._sockets.append(ws)
        async for message in ws:
            with self._lock:
                if message.type == WSMsgType.BINARY:
                    self.frames.append(("binary", message.data))
                elif message.type == WSMsgType.TEXT:
                    self.frames.append(("text", message.data))
        return ws

    async def _file(self, request):
        if not self._record(request):
            return web.Response(status=401, text="wrong credentials")
        name = request.match_info["name"]
        if name in self.stalled:
            await asyncio.sleep(3600)
        if name in self.statuses:
            status, body = self.statuses[name]
            return web.Response(status=status, body=body)
        content = self.files.get(name)
        if content is None:
            return web.Response(status=404, text="no such file")
        if isinstance(content, Path):
            return web.FileResponse(content)
        if name in self.trickled:
            return await self._trickle(request, content, self.trickled[name])
        return web.Response(body=content)

    async def _trickle(self, request, content, interval):
        response = web.StreamResponse(headers={"Content-Length": str(len(content))})
        await response.prepare(request)
        try:
            for byte in content:
                await response.write(bytes([byte]))
                await asyncio.sleep(interval)
        except ConnectionError:
            pass  # the client gave up
        return response

    async def _delete(self, request):
        if not self._record(request):
            return web.Response(status=401, text="wrong credentials")
        return web.Response(status=204)

    async def _send_all(self, text):
        for ws in list(self._sockets):
            if not ws.closed:
                await ws.send_str(text)

    async def _send_all_raw(self, payload):
        for ws in list(self._sockets):
            if not ws.closed:
                await ws._writer.send(payload, binary=False)

    async def _close_all(self):
        for ws in list(self._sockets):
            await ws.close()

    async def _shutdown(self):
        await self._close_all()
        await self._runner.cleanup()
