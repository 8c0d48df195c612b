// Small task queue with retries and a summary report.
import { readFile } from "node:fs/promises";
import path from 'node:path';

const MAX_RETRIES = 3;
const DELAY_MS = 250.5;
let pending = [];

/**
 * Runs one job, retrying when it throws.
 */
async function runJob(job, attempt = 0) {
  try {
    const result = await job.run();
    return { ok: true, result };
  } catch (err) {
    if (attempt >= MAX_RETRIES) {
      return { ok: false, error: err.message };
    }
    await sleep(DELAY_MS * 2 ** attempt);
    return runJob(job, attempt + 1);
  } finally {
    pending = pending.filter((j) => j !== job);
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

class TaskQueue extends EventTarget {
  #jobs = new Map();
  static instances = 0;

  constructor(name) {
    super();
    this.name = name ?? "default";
    TaskQueue.instances++;
  }

  add(id, run) {
    if (typeof run !== "function") throw new TypeError(`job ${id} needs a function`);
    this.#jobs.set(id, { id, run });
    return this;
  }

  get size() {
    return this.#jobs.size;
  }

  async *results() {
    for (const [id, job] of this.#jobs) {
      yield [id, await runJob(job)];
    }
  }
}

export async function summarize(queue) {
  const lines = [];
  let failed = 0;
  outer: for await (const [id, outcome] of queue.results()) {
    if (!outcome.ok) {
      failed += 1;
      continue outer;
    }
    lines.push(`${id}: ${String(outcome.result).trim()}`);
  }
  const pattern = /^\s*#/g;
  const config = JSON.parse(await readFile(path.join(".", "config.json"), "utf8"));
  return { lines, failed, hex: 0xff, ratio: failed / (lines.length || 1), config, pattern, empty: null, none: undefined };
}

export default TaskQueue;
