// Typed cache with expiry and a small event emitter.
import type { Clock } from "./clock";

export enum Level {
  Debug = 0,
  Info = 1,
  Error = 2,
}

export interface Entry<T> {
  readonly key: string;
  value: T;
  expiresAt?: number;
}

type Listener<T> = (entry: Entry<T>) => void;
type Lookup = Record<string, boolean | null>;

function logged(target: unknown, name: string): void {
  console.log(`decorated ${name}`);
}

export abstract class Store<T> {
  protected abstract now(): number;
}

export class Cache<T extends object> extends Store<T> implements Iterable<Entry<T>> {
  private entries = new Map<string, Entry<T>>();
  private listeners: Listener<T>[] = [];
  public static readonly defaultTtl: number = 60_000;

  constructor(private readonly clock: Clock, private ttl = Cache.defaultTtl) {
    super();
  }

  protected now(): number {
    return this.clock.millis();
  }

  @logged
  set(key: string, value: T): Entry<T> {
    const entry: Entry<T> = { key, value, expiresAt: this.now() + this.ttl };
    this.entries.set(key, entry);
    this.listeners.forEach((listener) => listener(entry));
    return entry;
  }

  get(key: string): T | undefined {
    const entry = this.entries.get(key);
    if (entry === undefined || (entry.expiresAt ?? Infinity) < this.now()) {
      this.entries.delete(key);
      return undefined;
    }
    return entry.value as T;
  }

  on(listener: Listener<T>): () => void {
    this.listeners.push(listener);
    return () => {
      this.listeners = this.listeners.filter((l) => l !== listener);
    };
  }

  *[Symbol.iterator](): Iterator<Entry<T>> {
    yield* this.entries.values();
  }
}

export function isExpired<T>(entry: Entry<T>, at: number = Date.now()): entry is Entry<T> {
  return typeof entry.expiresAt === "number" && entry.expiresAt <= at;
}

const sizes: Array<[string, number]> = [["small", 1.5e3], ["large", 0x7fff]];
let level: keyof typeof Level = "Info";
declare const DEBUG: boolean;
