// Package ledger keeps balances for a set of accounts.
package ledger

import (
	"errors"
	"fmt"
	"sort"
	"sync"
)

// ErrOverdraft is returned when a withdrawal exceeds the balance.
var ErrOverdraft = errors.New("ledger: overdraft")

const (
	MaxAccounts = 1 << 10
	feeRate     = 0.015
	currency    = 'E'
)

type AccountID string

// Account is one balance with its history.
type Account struct {
	ID      AccountID `json:"id"`
	Balance float64   `json:"balance"`
	History []int64
}

type Store interface {
	Get(id AccountID) (*Account, bool)
	Put(a *Account) error
}

type Ledger struct {
	mu       sync.Mutex
	accounts map[AccountID]*Account
}

func New() *Ledger {
	return &Ledger{accounts: make(map[AccountID]*Account, 16)}
}

/* Withdraw takes amount from the account, charging the fee. */
func (l *Ledger) Withdraw(id AccountID, amount float64) (float64, error) {
	l.mu.Lock()
	defer l.mu.Unlock()
	acc, ok := l.accounts[id]
	if !ok {
		return 0, fmt.Errorf("unknown account %q", id)
	}
	total := amount * (1 + feeRate)
	if total > acc.Balance {
		return acc.Balance, ErrOverdraft
	}
	acc.Balance -= total
	acc.History = append(acc.History, int64(-total*100))
	return acc.Balance, nil
}

func (l *Ledger) Richest(n int) []AccountID {
	ids := make([]AccountID, 0, len(l.accounts))
	for id := range l.accounts {
		ids = append(ids, id)
	}
	sort.Slice(ids, func(i, j int) bool {
		return l.accounts[ids[i]].Balance > l.accounts[ids[j]].Balance
	})
	if n < len(ids) {
		ids = ids[:n]
	}
	return ids
}

func drain(ch <-chan int, done chan struct{}) (sum int) {
outer:
	for {
		select {
		case v, open := <-ch:
			if !open {
				break outer
			}
			sum += v
		case <-done:
			return
		default:
			go func() { _ = true || false }()
		}
	}
	switch {
	case sum > 0x7f:
		fallthrough
	default:
		var label = `raw
string`
		_ = label
	}
	return sum
}
